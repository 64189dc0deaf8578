// What a message box's flags ask of a view that builds the box itself: the buttons and their
// answers, the default button, what Esc gives, and the icon.
#include <gtest/gtest.h>

#include "ui/MessageBoxStyle.h"
#include "ui/ViewConstants.h"

TEST(MessageBoxStyleTest, FlagsGiveButtonsDefaultEscapeAndIcon) {
    using Icon = MessageBoxStyle::Icon;
    struct Case {
        unsigned flags;
        std::vector<int> results;
        std::string firstText;
        std::size_t nDefault;
        int escape;
        Icon icon;
    };
    const Case cases[] = {
        {kMbOk, {kIdOk}, "OK", 0, kIdOk, Icon::kNone},
        {kMbOkCancel | kMbIconHand, {kIdOk, kIdCancel}, "OK", 0, kIdCancel, Icon::kError},
        {kMbAbortRetryIgnore | kMbDefButton3,
         {kIdAbort, kIdRetry, kIdIgnore},
         "&Abort",
         2,
         0,
         Icon::kNone},
        {kMbYesNoCancel | kMbIconExclamation,
         {kIdYes, kIdNo, kIdCancel},
         "&Yes",
         0,
         kIdCancel,
         Icon::kWarning},
        {kMbYesNo | kMbIconQuestion | kMbDefButton2,
         {kIdYes, kIdNo},
         "&Yes",
         1,
         0,
         Icon::kQuestion},
        {kMbRetryCancel | kMbIconAsterisk,
         {kIdRetry, kIdCancel},
         "&Retry",
         0,
         kIdCancel,
         Icon::kInformation},
        // What the system would refuse reads as a plain box: no third button of two.
        {kMbYesNo | kMbDefButton3, {kIdYes, kIdNo}, "&Yes", 0, 0, Icon::kNone},
        {0xE, {kIdOk}, "OK", 0, kIdOk, Icon::kNone},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flags);
        const MessageBoxStyle style = MessageBoxStyle::FromFlags(c.flags);
        std::vector<int> results;
        for (const MessageBoxButton& button : style.buttons) {
            results.push_back(button.nResult);
        }
        EXPECT_EQ(results, c.results);
        EXPECT_EQ(style.buttons.front().text, c.firstText);
        EXPECT_EQ(style.nDefault, c.nDefault);
        EXPECT_EQ(style.nEscapeResult, c.escape);
        EXPECT_EQ(style.icon, c.icon);
    }
}
