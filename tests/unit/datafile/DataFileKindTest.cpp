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
        {"[TILLSTREAM_DATA]\r\n0x41\r\n", kDataFileConverted},
        {"[TILLSTREAM_DATA] and anything after it", kDataFileConverted},
        {"[TILLSTREAM_DATA]", kDataFileConverted},
        {" [TILLSTREAM_DATA]\r\n", kDataFileRaw},  // the marker only further on
        {"[TILLSTREAM_DATA\r\n", kDataFileRaw},    // one character short
        {stamp21 + " 0x41 0x42\r\n", kDataFileStampedLog},
        {stamp21, kDataFileStampedLog},              // exactly 21 characters
        {stamp21 + "\r\n", kDataFileStampedLog},     // the CR of CR LF is not part of the line
        {"[2026-12-06 05:59:1]", kDataFileRaw},      // 20 characters
        {"[2026-12-06 05:59:1]\r\n", kDataFileRaw},  // 20 and a line end
        {"[2026-12-06 05:59:1]\r", kDataFileRaw},    // a lone CR is character 20, not "]"
        {"(2026-12-06 05:59:12] 0x41", kDataFileRaw},
        {"[2026-12-06 05:59:12) 0x41", kDataFileRaw},
        {"", kDataFileNoFirstLine},
        {"\r\n[TILLSTREAM_DATA]\r\n",
         kDataFileNoFirstLine},  // empty first line; nothing further is read
        {"\n" + stamp21, kDataFileNoFirstLine},
        {"\0[TILLSTREAM_DATA]"s, kDataFileRaw},  // a NUL is a character, not the end
        {"hello\r\n", kDataFileRaw},
        {std::string(100000, '[') + "\n", kDataFileRaw},  // a long first line is read only so far
        {"[" + std::string(19, '\0') + "]"s, kDataFileStampedLog},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes.substr(0, 40));
        WriteFileBytes(home.Path("f"), c.bytes);
        EXPECT_EQ(IsTillstreamDataFile(home.Path("f")), c.expected);
    }
}

TEST_F(DataFileKindTest, UnreadableFilesSaySo) {
    EXPECT_EQ(IsTillstreamDataFile(home.Path("missing")), kDataFileUnreadable);
    EXPECT_EQ(IsTillstreamDataFile(""), kDataFileUnreadable);
    EXPECT_EQ(IsTillstreamDataFile(home.Root()), kDataFileUnreadable);  // a folder
}

}  // namespace
