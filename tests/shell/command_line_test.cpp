#include "shell/command_line.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct TailCase {
    const char* name;
    std::string commandLine;
    std::string tail;  // what CommandLineTail points at
    std::string path;  // after one quote at each end is removed
};

// "\x82\x22" is no two-byte character of CP932 but shows the rule: after a lead byte the next
// byte is passed over unseen, even when it happens to be a double quote.
const std::vector<TailCase>& Cases() {
    static const std::vector<TailCase> cases = {
        {"quoted_program_quoted_path_with_blanks",
         "\"C:\\Prog Files\\v.exe\" \"C:\\My Pics\\a.bmp\"", "\"C:\\My Pics\\a.bmp\"",
         "C:\\My Pics\\a.bmp"},
        {"unquoted_everything", "v.exe C:\\pics\\a.bmp", "C:\\pics\\a.bmp", "C:\\pics\\a.bmp"},
        {"second_name_stays_in_the_one_path", "v.exe a.bmp b.bmp", "a.bmp b.bmp", "a.bmp b.bmp"},
        {"blanks_and_controls_before_tail", "v.exe \t\x01 \"x.bmp\"", "\"x.bmp\"", "x.bmp"},
        {"trailing_blanks_keep_the_closing_quote", "v.exe \"a b.bmp\"  ", "\"a b.bmp\"  ",
         "a b.bmp\"  "},
        {"lone_quote", "v.exe \"", "\"", ""},
        {"two_quotes", "v.exe \"\"", "\"\"", ""},
        {"inner_quotes_stay", "v.exe \"a\"b\".bmp\"", "\"a\"b\".bmp\"", "a\"b\".bmp"},
        {"program_only", "v.exe", "", ""},
        {"program_then_blanks", "\"v.exe\"   ", "", ""},
        {"empty_line", "", "", ""},
        {"unclosed_program_quote_runs_to_end", "\"C:\\v.exe a.bmp", "", ""},
        {"quote_right_after_quoted_program", "\"v.exe\"\"a.bmp\"", "\"a.bmp\"", "a.bmp"},
        {"dbcs_trail_byte_0x22_inside_program_quotes", "\"C:\\\x82\x22\\v.exe\" a.bmp", "a.bmp",
         "a.bmp"},
        {"real_cp932_name_with_trail_0x5c", "\"C:\\\x95\x5c\\v.exe\" \x95\x5c.bmp", "\x95\x5c.bmp",
         "\x95\x5c.bmp"},
        {"lead_byte_before_terminator", "\"v\x82", "", ""},
        {"high_bytes_count_as_name_unquoted", "v\xE0\x40.exe a.bmp", "a.bmp", "a.bmp"},
    };
    return cases;
}

TEST(CommandLineTest, TailAndPathFollowTheStartUpRules) {
    for (const TailCase& c : Cases()) {
        SCOPED_TRACE(c.name);
        const char* tail = CommandLineTail(c.commandLine.c_str());
        // The tail is a position inside the line, never a copy.
        ASSERT_GE(tail, c.commandLine.c_str());
        ASSERT_LE(tail, c.commandLine.c_str() + c.commandLine.size());
        EXPECT_EQ(c.tail, tail);

        std::vector<char> text(c.tail.begin(), c.tail.end());
        text.push_back('\0');
        StripOneQuoteEachEnd(text.data());
        EXPECT_EQ(c.path, text.data());

        char path[64];
        std::memset(path, 'x', sizeof(path));
        EXPECT_EQ(!c.tail.empty(), CommandLinePath(c.commandLine.c_str(), path, sizeof(path)));
        EXPECT_EQ(c.path, path);
    }
}

TEST(CommandLineTest, NullLineHasAnEmptyTail) {
    EXPECT_STREQ("", CommandLineTail(nullptr));
}

// A lead byte as the very last byte must not carry the scan past the terminator: the byte after
// the terminator is a quote and a blank that must never be reached.
TEST(CommandLineTest, ScanStopsAtTheTerminatorAfterALeadByte) {
    const char buffer[] = {'"', 'a', '\x9F', '\0', '"', ' ', 'z', '\0'};
    const char* tail = CommandLineTail(buffer);
    EXPECT_EQ(buffer + 3, tail);
}

TEST(CommandLineTest, PathThatDoesNotFitIsRefusedNotCut) {
    const std::string line = "v.exe \"" + std::string(20, 'p') + "\"";  // tail is 22 bytes
    char exact[23];
    EXPECT_TRUE(CommandLinePath(line.c_str(), exact, sizeof(exact)));
    EXPECT_EQ(std::string(20, 'p'), exact);

    char small[22];
    std::memset(small, 'x', sizeof(small));
    EXPECT_FALSE(CommandLinePath(line.c_str(), small, sizeof(small)));
    EXPECT_STREQ("", small);

    char none[1] = {'x'};
    EXPECT_FALSE(CommandLinePath(line.c_str(), none, 0));
    EXPECT_EQ('x', none[0]);  // zero capacity: nothing written at all
}

TEST(CommandLineTest, StripTouchesOnlyOneQuoteAtEachEnd) {
    struct {
        const char* in;
        const char* out;
    } const cases[] = {
        {"\"\"\"a\"\"\"", "\"\"a\"\""},
        {"\"", ""},
        {"a\"", "a"},
        {"\"a", "a"},
        {"", ""},
        {"a", "a"},
    };
    for (const auto& c : cases) {
        char text[16];
        std::strcpy(text, c.in);
        StripOneQuoteEachEnd(text);
        EXPECT_STREQ(c.out, text) << "input " << c.in;
    }
}

}  // namespace
