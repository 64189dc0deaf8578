// Reading data files line by line in both modes, on real files, with read buffers from one byte
// up to the default so that every line end also falls across a buffer boundary.
#include <string>
#include <vector>

#include "TempHome.h"
#include "TestSystem.h"
#include "datafile/FilesInPlay.h"
#include "datafile/LineReader.h"
#include "platform/FileHandle.h"
#include "platform/FileSystem.h"

namespace {

using Lines = std::vector<std::string>;

Lines ReadAll(const std::string& path, LineMode mode, std::size_t bufferSize) {
    CLineReader reader(mode, bufferSize);
    EXPECT_EQ(reader.Open(path), FileError::None);
    Lines lines;
    std::string line;
    ReadLineResult result;
    while ((result = reader.ReadLine(line)) == ReadLineResult::Line) {
        lines.push_back(line);
    }
    EXPECT_EQ(result, ReadLineResult::EndOfFile);
    EXPECT_TRUE(line.empty());
    // The end stays the end.
    EXPECT_EQ(reader.ReadLine(line), ReadLineResult::EndOfFile);
    return lines;
}

struct Case {
    const char* name;
    std::string bytes;
    Lines binary;
    Lines text;
};

const std::string kLong(600, 'L');  // longer than every small buffer below

const std::vector<Case>& Cases() {
    using namespace std::string_literals;
    static const std::vector<Case> cases = {
        {"crlf", "one\r\ntwo\r\n", {"one\r", "two\r"}, {"one", "two"}},
        {"lf", "one\ntwo\n", {"one", "two"}, {"one", "two"}},
        {"last line without line end", "one\r\ntwo", {"one\r", "two"}, {"one", "two"}},
        {"empty file", "", {}, {}},
        {"one line end only", "\n", {""}, {""}},
        {"empty lines between", "a\n\n\r\nb", {"a", "", "\r", "b"}, {"a", "", "", "b"}},
        {"nul inside a line", "ab\0cd\r\n\0\n"s, {"ab\0cd\r"s, "\0"s}, {"ab\0cd"s, "\0"s}},
        {"lone cr stays", "a\rb\nc\r", {"a\rb", "c\r"}, {"a\rb", "c\r"}},
        {"cr cr lf loses one cr in text", "a\r\r\n", {"a\r\r"}, {"a\r"}},
        {"line longer than the buffer",
         kLong + "\r\n" + kLong,
         {kLong + "\r", kLong},
         {kLong, kLong}},
        {"control bytes",
         "\x1b@\x1b!\x08Total\xff\r\n",
         {"\x1b@\x1b!\x08Total\xff\r"},
         {"\x1b@\x1b!\x08Total\xff"}},
    };
    return cases;
}

using LineReaderTest = TempHomeTest;

TEST_F(LineReaderTest, BothModesAgreeWithTheirRulesAtEveryBufferSize) {
    for (const Case& c : Cases()) {
        const std::string path = home.Path("data");
        WriteFileBytes(path, c.bytes);
        for (std::size_t size : {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{5},
                                 std::size_t{64}, CLineReader::kDefaultBufferSize}) {
            SCOPED_TRACE(std::string(c.name) + ", buffer " + std::to_string(size));
            EXPECT_EQ(ReadAll(path, LineMode::Binary, size), c.binary);
            EXPECT_EQ(ReadAll(path, LineMode::Text, size), c.text);
        }
    }
}

// Lines read piece by piece: no piece longer than asked for, and the pieces of each line, up to
// the one that ends it, join to the binary line; a line begun in pieces may be finished whole.
TEST_F(LineReaderTest, PiecesOfEachLineJoinToTheBinaryLineAtEverySize) {
    for (const Case& c : Cases()) {
        WriteFileBytes(home.Path("data"), c.bytes);
        for (std::size_t buffer :
             {std::size_t{1}, std::size_t{3}, CLineReader::kDefaultBufferSize}) {
            for (std::size_t most :
                 {std::size_t{1}, std::size_t{2}, std::size_t{5}, std::size_t{600}}) {
                SCOPED_TRACE(std::string(c.name) + ", buffer " + std::to_string(buffer) +
                             ", pieces of " + std::to_string(most));
                CLineReader reader(LineMode::Binary, buffer);
                ASSERT_EQ(reader.Open(home.Path("data")), FileError::None);
                Lines lines(1);
                std::string piece;
                bool bLineEnd = false;
                while (reader.ReadLinePiece(piece, most, bLineEnd) == ReadLineResult::Line) {
                    EXPECT_LE(piece.size(), most);
                    lines.back() += piece;
                    if (bLineEnd) {
                        lines.emplace_back();
                    }
                }
                EXPECT_EQ(reader.LastError(), FileError::None);
                EXPECT_EQ(lines.back(), "") << "a line left without its end";
                lines.pop_back();
                EXPECT_EQ(lines, c.binary);
            }
        }
    }
    WriteFileBytes(home.Path("d"), "abcdef\r\n");
    CLineReader reader(LineMode::Binary, 4);
    ASSERT_EQ(reader.Open(home.Path("d")), FileError::None);
    std::string text;
    bool bLineEnd = true;
    ASSERT_EQ(reader.ReadLinePiece(text, 2, bLineEnd), ReadLineResult::Line);
    EXPECT_FALSE(bLineEnd);
    ASSERT_EQ(reader.ReadLine(text), ReadLineResult::Line);
    EXPECT_EQ(text, "cdef\r");
    EXPECT_EQ(reader.ReadLine(text), ReadLineResult::EndOfFile);
}

TEST_F(LineReaderTest, RewindStartsAgainAndModeCanChange) {
    WriteFileBytes(home.Path("d"), "one\r\ntwo\r\n");
    CLineReader reader(LineMode::Binary, 4);
    ASSERT_EQ(reader.Open(home.Path("d")), FileError::None);
    std::string line;
    ASSERT_EQ(reader.ReadLine(line), ReadLineResult::Line);
    EXPECT_EQ(line, "one\r");
    ASSERT_EQ(reader.ReadLine(line), ReadLineResult::Line);
    ASSERT_EQ(reader.ReadLine(line), ReadLineResult::EndOfFile);
    ASSERT_EQ(reader.Rewind(), FileError::None);
    reader.SetMode(LineMode::Text);
    ASSERT_EQ(reader.ReadLine(line), ReadLineResult::Line);
    EXPECT_EQ(line, "one");
}

TEST_F(LineReaderTest, FailuresAreReportedNotHidden) {
    CLineReader reader;
    std::string line = "stale";
    EXPECT_EQ(reader.ReadLine(line), ReadLineResult::Error);  // nothing open
    EXPECT_TRUE(line.empty());
    EXPECT_EQ(reader.Open(home.Path("missing")), FileError::NotFound);
    EXPECT_FALSE(reader.IsOpen());

    // A folder is no data file: refused at the open, not left to fail at the first read.
    EXPECT_EQ(reader.Open(home.Root()), FileError::NotRegularFile);
    EXPECT_FALSE(reader.IsOpen());
    EXPECT_EQ(reader.ReadLine(line), ReadLineResult::Error);
}

TEST_F(LineReaderTest, PlaybackHoldsTheFileAndDisplayReadersDoNot) {
    const std::string path = home.Path("receipt.txt");
    WriteFileBytes(path, "line\n");
    CFileHandle changer;
    ASSERT_EQ(changer.OpenForRead(path), FileError::None);

    {
        CLineReader display;
        ASSERT_EQ(display.Open(path), FileError::None);
        EXPECT_FALSE(CFilesInPlay::Contains(path));
        EXPECT_EQ(changer.LockExclusiveNoWait(), FileError::None);
        changer.Unlock();
    }

    CLineReader player;
    ASSERT_EQ(player.OpenForPlayback(path), FileError::None);
    EXPECT_TRUE(CFilesInPlay::Contains(path));
    EXPECT_EQ(changer.LockExclusiveNoWait(), FileError::SharingViolation);
    // The file being played can still be shown.
    CLineReader display;
    ASSERT_EQ(display.Open(path), FileError::None);
    std::string line;
    EXPECT_EQ(display.ReadLine(line), ReadLineResult::Line);
    EXPECT_EQ(line, "line");

    player.Close();
    EXPECT_FALSE(CFilesInPlay::Contains(path));
    EXPECT_EQ(changer.LockExclusiveNoWait(), FileError::None);

    // While someone changes the file, playback cannot start, and nothing is left registered.
    EXPECT_EQ(player.OpenForPlayback(path), FileError::SharingViolation);
    EXPECT_FALSE(player.IsOpen());
    EXPECT_FALSE(CFilesInPlay::Contains(path));
}

TEST_F(LineReaderTest, FilesInPlayKnowsAFileByAnyOfItsNames) {
    const std::string path = home.Path("day1.txt");
    WriteFileBytes(path, "x");
    // Another name of the same file: a link where links can be made (not under Wine).
    const std::string alias = MakeSymbolicLink(path, home.Path("alias"))
                                  ? home.Path("alias")
                                  : home.Root() + "/sub/../day1.txt";
    ASSERT_EQ(MakeDirectory(home.Path("sub")), FileError::None);
    {
        CFileInPlayGuard first(alias);
        EXPECT_TRUE(CFilesInPlay::Contains(path));
        EXPECT_TRUE(CFilesInPlay::Contains(home.Root() + "/./day1.txt"));
        EXPECT_FALSE(CFilesInPlay::Contains(home.Path("day2.txt")));
        {
            CFileInPlayGuard second(path);
            CFileInPlayGuard moved(std::move(second));
        }
        // One of two runs ended: the file is still in play.
        EXPECT_TRUE(CFilesInPlay::Contains(path));
    }
    EXPECT_FALSE(CFilesInPlay::Contains(path));
    CFilesInPlay::Add(path);
    CFilesInPlay::Remove(alias);
    CFilesInPlay::Remove(path);  // removing more often than added does no harm
    EXPECT_FALSE(CFilesInPlay::Contains(path));
}

}  // namespace
