// Finding a device's answer in what it sends back: whatever else comes with it, however the
// reads cut it, and only in what came after the line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/ReplyMatcher.h"

namespace {
TEST(ReplyMatcher, FindsTheAnswerInTheReadThatCompletesIt) {
    const struct {
        const char* name;
        std::vector<std::string> reads;
        int completedBy;  // index of the read that completes the answer, -1 none
    } cases[] = {
        {"whole", {"OK\r\n"}, 0},
        {"after noise", {"xxxxxxxx", "yyOK\r\nzz"}, 1},
        {"split in three", {"..O", "K", "\r\n"}, 2},
        {"a false start", {"OKO", "K\r", "\n"}, 2},
        {"incomplete", {"OK\r", "x\n"}, -1},
        {"a long read passed over", {std::string(10000, 'O') + "K\r", "\n"}, 1},
    };
    for (const auto& c : cases) {
        CReplyMatcher matcher("OK\r\n");
        int completedBy = -1;
        for (std::size_t n = 0; n < c.reads.size(); ++n) {
            if (matcher.Feed(c.reads[n]) && completedBy < 0) {
                completedBy = static_cast<int>(n);
            }
        }
        EXPECT_EQ(completedBy, c.completedBy) << c.name;
    }
}

TEST(ReplyMatcher, WhatCameBeforeTheLineAnswersNothing) {
    CReplyMatcher matcher(std::string("\x06\x06", 2));
    EXPECT_FALSE(matcher.Feed("\x06"));
    matcher.Reset();  // the next line goes out
    EXPECT_FALSE(matcher.Feed("\x06"));
    EXPECT_TRUE(matcher.Feed("\x06"));
    // An answer found starts afresh: one byte of the next does not complete it.
    EXPECT_FALSE(matcher.Feed("\x06"));
    EXPECT_FALSE(CReplyMatcher().Enabled());
}
}  // namespace
