// Reading a stamped hex log record by record for its recorded pace: which lines are records, the
// time from each record to the next across the ends of days and years, a clock set back, and a
// rewind; and the stamps that are not real dates and times.
#include "datafile/StampedLogReader.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "TempHome.h"
#include "datafile/StampedLog.h"

namespace {
class StampedLogReaderTest : public TempHomeTest {
  protected:
    // The next record's payload line, stamp and seconds to the record after it.
    struct Step {
        std::string payloadLine;
        std::string stamp;
        std::optional<std::int64_t> secondsToNext;
    };
    Step Next() {
        Step step;
        EXPECT_EQ(reader.ReadRecord(step.payloadLine, step.stamp), ReadLineResult::Line);
        step.secondsToNext = reader.SecondsToNext();
        return step;
    }

    CStampedLogReader reader;
};

TEST_F(StampedLogReaderTest, RecordsCarryTheirPayloadStampAndTheTimeToTheNextRecord) {
    const std::string path = home.Path("till.log");
    WriteFileBytes(path,
                   "[2026-12-31 23:59:58] 0x41 0x0a\r\n"
                   "\r\n"                                 // blank: no record
                   "[2026-12-31 23:59:59] power on\r\n"   // no payload: the conversion drops it
                   "[2027-01-01 00:00:01] 0x42\r\n"       // across the year's end
                   "[2027-01-01 00:00:00] 0x43 0x0d\r\n"  // the till's clock set back
                   "[2028-02-29 00:00:00] 0x44\n");       // a leap day; LF only, no CR
    ASSERT_EQ(reader.OpenForPlayback(path), FileError::None);

    Step step = Next();
    // As a converted file's payload line read in binary mode: the CR before the LF stays.
    EXPECT_EQ(step.payloadLine, "0x41 0x0a\r");
    EXPECT_EQ(step.stamp, "2026-12-31 23:59:58");
    EXPECT_EQ(step.secondsToNext, 3);

    step = Next();
    EXPECT_EQ(step.payloadLine, "0x42\r");
    EXPECT_EQ(step.secondsToNext, -1);  // the caller decides what a step back means

    step = Next();
    EXPECT_EQ(step.payloadLine, "0x43 0x0d\r");
    EXPECT_EQ(step.secondsToNext, (365 + 31 + 28) * 86400);

    step = Next();
    EXPECT_EQ(step.stamp, "2028-02-29 00:00:00");
    EXPECT_EQ(step.secondsToNext, std::nullopt);  // the last record has no next one

    std::string payload;
    std::string stamp;
    EXPECT_EQ(reader.ReadRecord(payload, stamp), ReadLineResult::EndOfFile);
    EXPECT_EQ(payload, "");

    // A rewind starts again at the first record, with its gap known again.
    ASSERT_EQ(reader.Rewind(), FileError::None);
    step = Next();
    EXPECT_EQ(step.payloadLine, "0x41 0x0a\r");
    EXPECT_EQ(step.secondsToNext, 3);
    reader.Close();
}

TEST_F(StampedLogReaderTest, ARecordWhoseStampIsNoRealTimeHasNoGapOnEitherSide) {
    const std::string path = home.Path("till.log");
    WriteFileBytes(path,
                   "[2026-12-06 05:59:12] 0x41\r\n"
                   "[2026-02-29 05:59:13] 0x42\r\n"  // 2026 is not a leap year
                   "[2026-12-06 05:59:14] 0x43\r\n");
    ASSERT_EQ(reader.OpenForPlayback(path), FileError::None);
    EXPECT_EQ(Next().secondsToNext, std::nullopt);
    EXPECT_EQ(Next().secondsToNext, std::nullopt);
    EXPECT_EQ(Next().secondsToNext, std::nullopt);

    // The scan before a run points at the line, so that the run is refused instead.
    const StampedLogScan scan = ScanStampedLog(path);
    EXPECT_TRUE(scan.bReadable);
    EXPECT_EQ(scan.badLine, 2u);
    EXPECT_EQ(scan.records, 2u);
}

TEST(StampTextTest, OnlyRealDatesAndTimesAreStamps) {
    EXPECT_EQ(ParseStampText("1970-01-01 00:00:00"), 0);
    EXPECT_EQ(ParseStampText("2000-02-29 12:00:00"), 951825600);  // 2000 is a leap year
    EXPECT_EQ(ParseStampText("1900-02-29 12:00:00"), std::nullopt);
    EXPECT_EQ(ParseStampText("2026-12-06 24:00:00"), std::nullopt);
    EXPECT_EQ(ParseStampText("2026-13-06 05:59:12"), std::nullopt);
    EXPECT_EQ(ParseStampText("2026-12-06T05:59:12"), std::nullopt);
    EXPECT_EQ(ParseStampText("2026-12-06 05:5a:12"), std::nullopt);
    EXPECT_EQ(ParseLogStamp("[2026-12-06 05:59:12 0x41"), std::nullopt);  // no bracket at 20
}
}  // namespace
