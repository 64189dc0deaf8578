// The index behind the data list: the lines it gives must be exactly the lines a binary-mode
// reader sees, less those that begin with the converted-file marker.
#include <string>
#include <utility>
#include <vector>

#include "TempHome.h"
#include "TestSystem.h"
#include "datafile/DataFileKind.h"
#include "datafile/LineIndex.h"
#include "datafile/LineReader.h"
#include "platform/FileSystem.h"

namespace {

std::vector<std::string> ShownByReader(const std::string& path) {
    CLineReader reader(LineMode::Binary);
    EXPECT_EQ(reader.Open(path), FileError::None);
    std::vector<std::string> lines;
    std::string line;
    while (reader.ReadLine(line) == ReadLineResult::Line) {
        if (line.rfind(kTillstreamDataMarker, 0) != 0) {
            lines.push_back(line);
        }
    }
    return lines;
}

std::vector<std::string> ShownByIndex(const CLineIndex& index) {
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < index.Count(); ++i) {
        lines.push_back(index.LineAt(i));
    }
    return lines;
}

using LineIndexTest = TempHomeTest;

TEST_F(LineIndexTest, ShowsTheLinesOfEveryKindOfFile) {
    using namespace std::string_literals;
    const std::string files[] = {
        "",
        "\n",
        "one\r\ntwo\r\nthree\r\n",
        "one\ntwo\nthree",  // last line without line end
        "[TILLSTREAM_DATA]\r\n0x41 0x42\r\n0x0d 0x0a\r\n",
        "[TILLSTREAM_DATA]",
        "[TILLSTREAM_DATA]\n[TILLSTREAM_DATA] again\nx[TILLSTREAM_DATA]\n[TILLSTREAM_DAT\n",
        "a\0b\r\n\0\n"s,
        std::string(1000, 'x') + "\n" + "[TILLSTREAM_DATA]\n" + std::string(999, 'y'),
        // Several marker lines between two lines and one after the last.
        "a\n[TILLSTREAM_DATA]\n[TILLSTREAM_DATA] 2\r\nb\r\n[TILLSTREAM_DATA]\n",
        // Line ends on the boundaries of the small buffers, and empty lines.
        "0123456789abcdef\n0123456789abcdef\n\n\nx",
    };
    for (const std::string& bytes : files) {
        WriteFileBytes(home.Path("f"), bytes);
        const auto expected = ShownByReader(home.Path("f"));
        // Offsets kept in 3 low bits pass a high-bits step every 8 bytes, and a long line
        // passes several at once: what 4 GiB steps do in files too large for a test.
        for (const auto& [bufferSize, lowBits] :
             {std::pair{std::size_t{1}, 3u}, std::pair{std::size_t{4}, 32u},
              std::pair{std::size_t{16}, 3u}, std::pair{std::size_t{17}, 32u},
              std::pair{std::size_t{18}, 1u}, std::pair{std::size_t{100}, 32u},
              std::pair{CLineIndex::kDefaultBufferSize, 3u},
              std::pair{CLineIndex::kDefaultBufferSize, CLineIndex::kDefaultLowBits}}) {
            SCOPED_TRACE(bytes.substr(0, 30) + " / buffer " + std::to_string(bufferSize) +
                         " / low bits " + std::to_string(lowBits));
            CLineIndex index(bufferSize, lowBits);
            ASSERT_EQ(index.Build(home.Path("f")), 0);
            EXPECT_EQ(ShownByIndex(index), expected);
            for (std::size_t i = 0; i < index.Count(); ++i) {
                EXPECT_EQ(index.LengthAt(i), index.LineAt(i).size());
            }
        }
    }
}

TEST_F(LineIndexTest, ConvertedFileShowsPayloadLinesWithTheirCr) {
    WriteFileBytes(home.Path("f"), "[TILLSTREAM_DATA]\r\n0x41 0x42\r\n0x0d 0x0a\r\n");
    CLineIndex index;
    ASSERT_EQ(index.Build(home.Path("f")), 0);
    ASSERT_EQ(index.Count(), 2u);
    EXPECT_EQ(index.LineAt(0), "0x41 0x42\r");
    EXPECT_EQ(index.LineAt(1), "0x0d 0x0a\r");
    std::string line = "stale";
    EXPECT_FALSE(index.ReadLineAt(2, line));
    EXPECT_TRUE(line.empty());
    EXPECT_EQ(index.LineAt(99), "");
}

TEST_F(LineIndexTest, FilesThatCannotBeReadGiveAnEmptyIndex) {
    WriteFileBytes(home.Path("f"), "a\nb\n");
    CLineIndex index;
    ASSERT_EQ(index.Build(home.Path("f")), 0);
    EXPECT_EQ(index.Count(), 2u);
    EXPECT_EQ(index.Build(home.Path("missing")), -1);
    EXPECT_EQ(index.Count(), 0u);
    EXPECT_EQ(index.Build(home.Root()), -1);  // a folder
    EXPECT_EQ(index.Count(), 0u);
}

TEST_F(LineIndexTest, KeepsShowingTheFileItScannedWhenItIsReplaced) {
    WriteFileBytes(home.Path("f"), "old one\nold two\n");
    CLineIndex index;
    ASSERT_EQ(index.Build(home.Path("f")), 0);
    WriteFileBytes(home.Path("g"), "new\n");
    // Linux replaces the name under the index; Windows refuses while the index has the file open.
    const FileError replaced = RenameReplace(home.Path("g"), home.Path("f"));
    EXPECT_EQ(replaced == FileError::None, SystemReplacesOpenFiles()) << FileErrorText(replaced);
    EXPECT_EQ(index.LineAt(1), "old two");
    index.Clear();
    EXPECT_EQ(index.Count(), 0u);
    EXPECT_EQ(index.LineAt(0), "");
}

}  // namespace
