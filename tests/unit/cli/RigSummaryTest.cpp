// What a rig prints at its end: the digest of many lanes (totals, the spread of the lanes' p99
// deviation, the worst lanes) and the report of every lane as JSON.
#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/RigDisplay.h"

namespace {
// Lanes 1..count; lane N sent 10 lines and strayed N/100 ms at its 99th percentile; lane 3 had
// no pauses, lane 4 lost every line and lane 5 could not play.
std::vector<RigSummaryRow> Rows(int count) {
    std::vector<RigSummaryRow> rows;
    for (int n = 1; n <= count; ++n) {
        RigSummaryRow row{
            n,        "tcp 127.0.0.1:" + std::to_string(9000 + n), "lane.txt", 10, 0, 9, n / 200.0,
            n / 100.0};
        row.connections = 1;
        if (n == 3) {
            row.intervals = 0;
        }
        if (n == 4) {
            row.lost = 10;
        }
        if (n == 5) {
            row.sent = 0;
            row.failure = "cannot open a socket: too many open files";
        }
        rows.push_back(row);
    }
    return rows;
}

TEST(RigSummaryTest, TheDigestHasTheTotalsTheSpreadOfTheLanesAndTheTenWorst) {
    std::vector<RigSummaryRow> rows = Rows(200);
    rows[6].replies = ReplyFigures{9, 1, 2.0, 3.0};
    rows[7].replies = ReplyFigures{10, 0, 1.0, 1.0};
    const std::string digest = FormatRigDigest(rows);
    // 199 lanes sent 10 lines each; two did not play as asked.
    EXPECT_NE(digest.find("lanes 200: sent 1990, not delivered 10, lanes that did not play or "
                          "reached no device 2\n"),
              std::string::npos)
        << digest;
    EXPECT_NE(digest.find("replies: 19 answered, 1 unanswered, over 2 lanes that wait for "
                          "answers\n"),
              std::string::npos)
        << digest;
    EXPECT_EQ(FormatRigDigest(Rows(60)).find("replies:"), std::string::npos);
    // Over the 199 lanes with pauses (nearest rank): the 100th is lane 101, the 198th lane 199.
    EXPECT_NE(digest.find("median 1.010, 99th percentile 1.990, worst 2.000 (over 199 lanes"),
              std::string::npos)
        << digest;
    // The ten worst lanes, the worst first, in a table of their own.
    const std::size_t table = digest.find("lane  to");
    ASSERT_NE(table, std::string::npos) << digest;
    const std::string worst = digest.substr(digest.find('\n', table) + 1);
    EXPECT_EQ(std::count(worst.begin(), worst.end(), '\n'), 10);
    EXPECT_TRUE(worst.starts_with(" 200  tcp 127.0.0.1:9200")) << worst;
    EXPECT_NE(worst.find(" 191  tcp"), std::string::npos) << worst;
    EXPECT_EQ(worst.find(" 190  tcp"), std::string::npos) << worst;
}

TEST(RigSummaryTest, TheReportHasEveryLanesRowWithNullsWhereALaneHasNoFigure) {
    std::vector<RigSummaryRow> rows = Rows(5);
    rows[1].replies = ReplyFigures{3, 1, 1.5, 2.25};
    rows[3].replies = ReplyFigures{0, 10, 0, 0};  // none answered: no reply times
    const nlohmann::json report = nlohmann::json::parse(FormatRigReport(rows));
    ASSERT_EQ(report["lanes"].size(), 5u);
    const nlohmann::json& first = report["lanes"][0];
    EXPECT_EQ(first["lane"], 1);
    EXPECT_EQ(first["target"], "tcp 127.0.0.1:9001");
    EXPECT_EQ(first["file"], "lane.txt");
    EXPECT_EQ(first["sent"], 10);
    EXPECT_EQ(first["not_delivered"], 0);
    EXPECT_DOUBLE_EQ(first["mean_deviation_ms"].get<double>(), 0.005);
    EXPECT_DOUBLE_EQ(first["p99_deviation_ms"].get<double>(), 0.01);
    EXPECT_EQ(first["connections"], 1);
    EXPECT_TRUE(first["failure"].is_null());
    EXPECT_TRUE(report["lanes"][2]["p99_deviation_ms"].is_null());
    EXPECT_EQ(report["lanes"][3]["not_delivered"], 10);
    EXPECT_EQ(report["lanes"][4]["failure"], "cannot open a socket: too many open files");
    EXPECT_TRUE(first["answered"].is_null());
    EXPECT_TRUE(first["p99_reply_ms"].is_null());
    const nlohmann::json& answering = report["lanes"][1];
    EXPECT_EQ(answering["answered"], 3);
    EXPECT_EQ(answering["unanswered"], 1);
    EXPECT_DOUBLE_EQ(answering["mean_reply_ms"].get<double>(), 1.5);
    EXPECT_DOUBLE_EQ(answering["p99_reply_ms"].get<double>(), 2.25);
    EXPECT_EQ(report["lanes"][3]["unanswered"], 10);
    EXPECT_TRUE(report["lanes"][3]["mean_reply_ms"].is_null());
}
}  // namespace
