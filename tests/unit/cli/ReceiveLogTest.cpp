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
}

TEST(ReceiveLog, SplitterKeepsLinesWholeAcrossChunks) {
    CLineSplitter splitter;
    std::vector<std::string> lines;
    splitter.Feed("ab", lines);
    EXPECT_TRUE(lines.empty());
    splitter.Feed("c\n\nd\r", lines);
    splitter.Feed(std::string("\n\0", 2), lines);
    EXPECT_EQ(lines, (std::vector<std::string>{"abc\n", "\n", "d\r\n"}));
    std::string rest;
    ASSERT_TRUE(splitter.TakeRest(rest));
    EXPECT_EQ(rest, std::string("\0", 1));
    EXPECT_FALSE(splitter.TakeRest(rest));
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
