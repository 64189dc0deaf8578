// How the receiver prints lines and sums up a run.
#include <gtest/gtest.h>

#include "cli/PlayProgress.h"
#include "cli/ReceiveLog.h"

namespace {
TEST(ReceiveLog, EscapesEveryByteSoThatALineStaysOneLine) {
    EXPECT_EQ(EscapeLineBytes(std::string("A\0\t\r\n\\\x1b\x7f\x80\xff~ ", 12)),
              "A\\0\\t\\r\\n\\\\\\x1b\\x7f\\x80\\xff~ ");
    EXPECT_EQ(HexLineBytes(std::string("\0A\xff", 3)), "00 41 ff");
    EXPECT_EQ(HexLineBytes(""), "");
}

TEST(ReceiveLog, TabSeparatedFormIsStable) {
    ReceivedLine line;
    line.index = 3;
    line.connection = 2;
    line.epochMicros = 1796622262666418;
    line.intervalMs = 499.5;
    line.bytes = "OK\r\n";
    EXPECT_EQ(FormatLineTabSeparated(line, false), "3\t2\t1796622262.666418\t499.500\t4\tOK\\r\\n");
    EXPECT_EQ(FormatLineTabSeparated(line, true),
              "3\t2\t1796622262.666418\t499.500\t4\t4f 4b 0d 0a");
    line.intervalMs.reset();
    line.epochMicros = 5;
    EXPECT_EQ(FormatLineTabSeparated(line, false), "3\t2\t0.000005\t-\t4\tOK\\r\\n");
    // A piece that the next one continues is told by the '+' after its count.
    line.bContinues = true;
    EXPECT_EQ(FormatLineTabSeparated(line, true), "3\t2\t0.000005\t-\t4+\t4f 4b 0d 0a");
}

TEST(ReceiveLog, TerminalFormShowsLocalTimeOfDayIntervalAndCount) {
    ReceivedLine line;
    line.epochMicros = (10LL * 3600 + 5 * 60 + 7) * 1000000 + 250000;  // 10:05:07.250 UTC
    line.intervalMs = 12.5;
    line.bytes = "hi\n";
    const std::string text = FormatLineForTerminal(line, false, 2 * 3600);
    EXPECT_EQ(text.rfind("12:05:07.250", 0), 0u) << text;
    EXPECT_NE(text.find("+12.500 ms"), std::string::npos) << text;
    EXPECT_NE(text.find("3 bytes  hi\\n"), std::string::npos) << text;
    // West of UTC across midnight.
    EXPECT_EQ(FormatLineForTerminal(line, false, -11 * 3600).rfind("23:05:07.250", 0), 0u);
    line.bContinues = true;
    EXPECT_NE(FormatLineForTerminal(line, true, 0).find("   3+ bytes  68 69 0a"), std::string::npos)
        << FormatLineForTerminal(line, true, 0);
}

TEST(ReceiveLog, SplitterKeepsLinesWholeAcrossChunks) {
    CLineSplitter splitter;
    std::vector<LinePiece> pieces;
    splitter.Feed("ab", pieces);
    EXPECT_TRUE(pieces.empty());
    splitter.Feed("c\n\nd\r", pieces);
    splitter.Feed(std::string("\n\0", 2), pieces);
    std::vector<std::string> lines;
    for (const LinePiece& piece : pieces) {
        EXPECT_FALSE(piece.bContinues);
        lines.push_back(piece.bytes);
    }
    EXPECT_EQ(lines, (std::vector<std::string>{"abc\n", "\n", "d\r\n"}));
    std::string rest;
    ASSERT_TRUE(splitter.TakeRest(rest));
    EXPECT_EQ(rest, std::string("\0", 1));
    EXPECT_FALSE(splitter.TakeRest(rest));
}

// Runs `stream` through a splitter `chunk` bytes at a time, the rest taken at the end; gives the
// pieces' sizes ('+' after one that continues) and checks that they join up to the stream.
std::string SplitSizes(const std::string& stream, std::size_t chunk) {
    CLineSplitter splitter;
    std::vector<LinePiece> pieces;
    for (std::size_t at = 0; at < stream.size(); at += chunk) {
        splitter.Feed(std::string_view(stream).substr(at, chunk), pieces);
    }
    std::string rest;
    if (splitter.TakeRest(rest)) {
        pieces.push_back({rest, false});
    }
    std::string sizes;
    std::string joined;
    for (const LinePiece& piece : pieces) {
        sizes += std::to_string(piece.bytes.size()) + (piece.bContinues ? "+ " : " ");
        joined += piece.bytes;
    }
    EXPECT_EQ(joined, stream);
    return sizes;
}

TEST(ReceiveLog, SplitterHandsOutLongLinesInPiecesOfAtMost64KiB) {
    const std::string full(kLinePieceBytes, 'a');
    EXPECT_EQ(SplitSizes(full.substr(1) + "\n", 4096), "65536 ");  // one piece, its LF included
    EXPECT_EQ(SplitSizes(full + "\n", 4096), "65536+ 1 ");
    EXPECT_EQ(SplitSizes(full + full + "xyz\nok\n", 50000), "65536+ 65536+ 4 3 ");
    EXPECT_EQ(SplitSizes(full + full + full + "\n", 4 * kLinePieceBytes),
              "65536+ 65536+ 65536+ 1 ");
    // Where the stream ends, a full piece is the end of its line, not a piece that goes on.
    EXPECT_EQ(SplitSizes(full, 7), "65536 ");
    EXPECT_EQ(SplitSizes(full + "tail", 7), "65536+ 4 ");
}

TEST(ReceiveLog, StatisticsOfIntervalsAgainstTheExpectedDelay) {
    CReceiveStats stats;
    stats.AddConnection();
    EXPECT_FALSE(stats.AddLine(1000, 4).has_value());
    EXPECT_DOUBLE_EQ(*stats.AddLine(1100, 4), 100);
    EXPECT_DOUBLE_EQ(*stats.AddLine(1190, 2), 90);
    EXPECT_DOUBLE_EQ(*stats.AddLine(1320, 1), 130);
    EXPECT_EQ(stats.Lines(), 4u);
    EXPECT_EQ(stats.Bytes(), 11u);
    const DelayFigures figures = stats.Figures(100);
    EXPECT_EQ(figures.intervals, 3u);
    EXPECT_DOUBLE_EQ(figures.meanAbsMs, (0 + 10 + 30) / 3.0);
    EXPECT_DOUBLE_EQ(figures.p99AbsMs, 30);
    EXPECT_DOUBLE_EQ(figures.maxAbsMs, 30);
    EXPECT_DOUBLE_EQ(figures.driftMs, 20);  // 320 ms for three intervals of 100
    EXPECT_EQ(stats.Summary(std::nullopt), "connections 1, lines 4, bytes 11\n");
    EXPECT_NE(stats.Summary(100.0).find("drift +20.000 ms over 3 intervals"), std::string::npos);

    // A piece of a long line counts its bytes and tells the time since the last line, but the
    // line and its interval count once, with its last piece.
    EXPECT_DOUBLE_EQ(*stats.AddPiece(1400, 65536), 80);
    EXPECT_DOUBLE_EQ(*stats.AddLine(1420, 10), 100);
    EXPECT_EQ(stats.Lines(), 5u);
    EXPECT_EQ(stats.Bytes(), 11u + 65536 + 10);
    EXPECT_EQ(stats.Figures(100).intervals, 4u);
    EXPECT_FALSE(CReceiveStats().AddPiece(5, 1).has_value());

    stats.SetDroppedDatagrams(7);
    EXPECT_EQ(stats.Summary(std::nullopt),
              "connections 1, lines 5, bytes 65557\n"
              "datagrams dropped by the system (receive buffer full): 7\n");
}

TEST(ReceiveLog, NinetyNinthPercentileIsTheNearestRank) {
    CReceiveStats stats;
    double at = 0;
    stats.AddLine(at, 1);
    // 100 intervals: 98 on time, one 5 ms late, one 50 ms late. The 99th of 100 is the 5.
    for (int i = 0; i < 100; ++i) {
        at += 10 + (i == 7 ? 5 : 0) + (i == 99 ? 50 : 0);
        stats.AddLine(at, 1);
    }
    const DelayFigures figures = stats.Figures(10);
    EXPECT_DOUBLE_EQ(figures.p99AbsMs, 5);
    EXPECT_DOUBLE_EQ(figures.maxAbsMs, 50);
    EXPECT_EQ(CReceiveStats().Figures(10).intervals, 0u);
}

TEST(PlayProgress, LinesShowPositionRateAndTimeLeft) {
    EXPECT_EQ(FormatPlayProgress(3, 10, 20, 2.0, 3.6, false),
              "line 3 of 10 (20%)  2.0 lines/s  00:04 left");
    EXPECT_EQ(FormatPlayProgress(1, 10, 0, 0, std::nullopt, true), "line 1 of 10 (0%)  looping");
    EXPECT_EQ(FormatPlaySummary(1, 1, 0.5), "sent 1 line in 0.5 s (2.0 lines/s)");
    EXPECT_EQ(FormatPlaySummary(30, 3, 10), "sent 30 lines in 10.0 s (3.0 lines/s), 3 passes");
}
}  // namespace

TEST(PlaySummary, SaysHowManyLinesDidNotReachTheDevice) {
    EXPECT_EQ(FormatPlaySummary(13, 1, 6.5, 3),
              "sent 13 lines in 6.5 s (2.0 lines/s); 3 of them did not reach the device");
    EXPECT_EQ(FormatPlaySummary(30, 3, 10, 0), "sent 30 lines in 10.0 s (3.0 lines/s), 3 passes");
}
