#include "shell/command_line.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

TEST(CommandLineTest, TailAndPathFollowTheStartUpRules) {
    const struct {
        const char *name, *line, *tail, *path;
    } cases[] = {
        {"both quoted", "\"P F\\v.exe\" \"M P\\a.bmp\"", "\"M P\\a.bmp\"", "M P\\a.bmp"},
        {"tab, 0x01 are blanks", "v.exe \t\x01 \"x.bmp\"", "\"x.bmp\"", "x.bmp"},
        {"quote not last", "v.exe \"a b.bmp\"  ", "\"a b.bmp\"  ", "a b.bmp\"  "},
        {"one quote alone", "v.exe \"", "\"", ""},
        {"blanks only", "\"v.exe\"   ", "", ""},
        {"name unclosed", "\"C:\\v.exe a.bmp", "", ""},
        {"no blank after name", "\"v.exe\"\"a.bmp\"", "\"a.bmp\"", "a.bmp"},
        {"quote as trail byte", "\"C:\\\x82\x22\\v.exe\" a.bmp", "a.bmp", "a.bmp"},
        {"high bytes not blanks", "v\xE0\x40.exe a.bmp", "a.bmp", "a.bmp"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_STREQ(c.tail, CommandLineTail(c.line));
        char path[64];
        std::memset(path, 'x', sizeof(path));
        EXPECT_EQ(*c.tail != '\0', CommandLinePath(c.line, path, sizeof(path)));
        EXPECT_STREQ(c.path, path);
    }
    // A lead byte right before the terminator must not carry the scan past it.
    const char buffer[] = {'"', 'a', '\x9F', '\0', '"', ' ', 'z', '\0'};
    EXPECT_EQ(buffer + 3, CommandLineTail(buffer));
    const std::string line = "v.exe \"" + std::string(20, 'p') + "\"";  // 22 bytes
    char path[23] = "x";
    EXPECT_FALSE(CommandLinePath(line.c_str(), path, 0));
    EXPECT_STREQ("x", path);
    EXPECT_FALSE(CommandLinePath(line.c_str(), path, 22));
    EXPECT_STREQ("", path);
    EXPECT_TRUE(CommandLinePath(line.c_str(), path, 23));
    EXPECT_EQ(std::string(20, 'p'), path);
}
