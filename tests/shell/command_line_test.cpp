#include "shell/command_line.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

// Command line, the tail found in it, and the path: the tail with one quote gone at each end.
// "\x82\x22" is no CP932 character but shows the rule: the byte after a lead byte is passed over
// unseen, even a double quote.
TEST(CommandLineTest, TailAndPathFollowTheStartUpRules) {
    const struct {
        std::string line, tail, path;
    } cases[] = {
        {"\"C:\\Prog Files\\v.exe\" \"C:\\My Pics\\a.bmp\"", "\"C:\\My Pics\\a.bmp\"",
         "C:\\My Pics\\a.bmp"},
        {"v.exe a.bmp b.bmp", "a.bmp b.bmp", "a.bmp b.bmp"},
        {"v.exe \t\x01 \"x.bmp\"", "\"x.bmp\"", "x.bmp"},
        {"v.exe \"a b.bmp\"  ", "\"a b.bmp\"  ", "a b.bmp\"  "},
        {"v.exe \"", "\"", ""},
        {"v.exe \"\"\"a\"\"\"", "\"\"\"a\"\"\"", "\"\"a\"\""},
        {"v.exe a\"", "a\"", "a"},
        {"\"v.exe\"   ", "", ""},
        {"", "", ""},
        {"\"C:\\v.exe a.bmp", "", ""},
        {"\"v.exe\"\"a.bmp\"", "\"a.bmp\"", "a.bmp"},
        {"\"C:\\\x82\x22\\v.exe\" a.bmp", "a.bmp", "a.bmp"},
        {"\"C:\\\x95\x5c\\v.exe\" \x95\x5c.bmp", "\x95\x5c.bmp", "\x95\x5c.bmp"},
        {"\"v\x82", "", ""},
        {"v\xE0\x40.exe a.bmp", "a.bmp", "a.bmp"},
    };
    for (const auto& c : cases) {
        const char* tail = CommandLineTail(c.line.c_str());
        EXPECT_EQ(tail - c.line.c_str(), std::ptrdiff_t(c.line.size() - c.tail.size()))
            << &c - cases;
        EXPECT_EQ(c.tail, tail);
        char path[64];
        std::memset(path, 'x', sizeof(path));
        EXPECT_EQ(!c.tail.empty(), CommandLinePath(c.line.c_str(), path, sizeof(path)))
            << &c - cases;
        EXPECT_EQ(c.path, path);
    }
    EXPECT_STREQ("", CommandLineTail(nullptr));
    // A lead byte right before the terminator must not carry the scan past it.
    const char buffer[] = {'"', 'a', '\x9F', '\0', '"', ' ', 'z', '\0'};
    EXPECT_EQ(buffer + 3, CommandLineTail(buffer));
    // A tail that does not fit is refused, never cut into some shorter path.
    const std::string line = "v.exe \"" + std::string(20, 'p') + "\"";  // a 22-byte tail
    char path[23] = "x";
    EXPECT_FALSE(CommandLinePath(line.c_str(), path, 0));
    EXPECT_STREQ("x", path);
    EXPECT_FALSE(CommandLinePath(line.c_str(), path, 22));
    EXPECT_STREQ("", path);
    EXPECT_TRUE(CommandLinePath(line.c_str(), path, 23));
    EXPECT_EQ(std::string(20, 'p'), path);
}
