// The position arithmetic shared by the engine and the window.
#include <gtest/gtest.h>

#include <climits>

#include "engine/ListPaging.h"

TEST(ProgressPercent, IsTheWholePercentOfTheLinesBefore) {
    EXPECT_EQ(ProgressPercent(0, 10), 0);
    EXPECT_EQ(ProgressPercent(9, 10), 90);
    EXPECT_EQ(ProgressPercent(1, 3), 33);
    EXPECT_EQ(ProgressPercent(2, 3), 66);
    // Large files do not overflow on the way.
    EXPECT_EQ(ProgressPercent(INT_MAX - 1, INT_MAX), 99);
    // A count that no longer fits the file (changed after loading) never passes 100 or divides
    // by zero.
    EXPECT_EQ(ProgressPercent(7, 5), 100);
    EXPECT_EQ(ProgressPercent(3, 0), 0);
    EXPECT_EQ(ProgressPercent(3, -1), 0);
}

TEST(PageTopForLine, PagesDownWhenTheLineReachesTheNextPage) {
    int top = 0;
    for (int index = 0; index < 10; ++index) {
        top = PageTopForLine(index, 10, top);
        EXPECT_EQ(top, 0) << index;
    }
    EXPECT_EQ(PageTopForLine(10, 10, top), 10);
    EXPECT_EQ(PageTopForLine(19, 10, 10), 10);
    EXPECT_EQ(PageTopForLine(20, 10, 10), 20);
}

TEST(PageTopForLine, BringsTheLineBackIntoViewAfterARewindOrAUserScroll) {
    EXPECT_EQ(PageTopForLine(0, 10, 30), 0);   // rewind from the fourth page
    EXPECT_EQ(PageTopForLine(25, 10, 0), 20);  // the user scrolled back to the top
    EXPECT_EQ(PageTopForLine(3, 10, 40), 0);
    // The list may stop short of a whole last page; a line in view stays where it is.
    EXPECT_EQ(PageTopForLine(23, 10, 15), 15);
}

TEST(PageTopForLine, WithoutAWholeItemPerPageTheLineItselfIsTheTop) {
    EXPECT_EQ(PageTopForLine(0, 0, 5), 0);
    EXPECT_EQ(PageTopForLine(7, 0, 0), 7);
    EXPECT_EQ(PageTopForLine(7, -3, 0), 7);
    EXPECT_EQ(PageTopForLine(-1, 10, 4), 4);
}
