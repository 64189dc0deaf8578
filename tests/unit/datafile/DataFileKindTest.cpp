// Classifying a chosen file by its first line.

#include <string>

#include "TempHome.h"
#include "datafile/DataFileKind.h"

namespace {

using DataFileKindTest = TempHomeTest;

TEST_F(DataFileKindTest, FirstLineDecides) {
    using namespace std::string_literals;
    const std::string stamp21 = "[2026-12-06 05:59:12]";
    ASSERT_EQ(stamp21.size(), 21u);
    const struct {
        std::string bytes;
        int expected;
    } cases[] = {
        {"[TILLSTREAM_DATA]\r\n0x41\r\n", 1},
        {"[TILLSTREAM_DATA] and anything after it", 1},
        {"[TILLSTREAM_DATA]", 1},
        {" [TILLSTREAM_DATA]\r\n", -3},  // the marker only further on
        {"[TILLSTREAM_DATA\r\n", -3},    // one character short
        {stamp21 + " 0x41 0x42\r\n", 0},
        {stamp21, 0},                      // exactly 21 characters
        {stamp21 + "\r\n", 0},             // the CR of CR LF is not part of the line
        {"[2026-12-06 05:59:1]", -3},      // 20 characters
        {"[2026-12-06 05:59:1]\r\n", -3},  // 20 and a line end
        {"[2026-12-06 05:59:1]\r", -3},    // a lone CR is character 20, not "]"
        {"(2026-12-06 05:59:12] 0x41", -3},
        {"[2026-12-06 05:59:12) 0x41", -3},
        {"", -2},
        {"\r\n[TILLSTREAM_DATA]\r\n", -2},  // empty first line; nothing further is read
        {"\n" + stamp21, -2},
        {"\0[TILLSTREAM_DATA]"s, -3},  // a NUL is a character, not the end
        {"hello\r\n", -3},
        {std::string(100000, '[') + "\n", -3},  // a long first line is read only so far
        {"[" + std::string(19, '\0') + "]"s, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes.substr(0, 40));
        WriteFileBytes(home.Path("f"), c.bytes);
        EXPECT_EQ(IsTillstreamDataFile(home.Path("f")), c.expected);
    }
}

TEST_F(DataFileKindTest, UnreadableFilesAreMinusOne) {
    EXPECT_EQ(IsTillstreamDataFile(home.Path("missing")), -1);
    EXPECT_EQ(IsTillstreamDataFile(""), -1);
    EXPECT_EQ(IsTillstreamDataFile(home.Root()), -1);  // a folder
}

}  // namespace
