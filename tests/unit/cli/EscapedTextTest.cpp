// The answer text of --wait-for as typed on a command line: C escapes into bytes, and the
// message for each escape that is not one.
#include <gtest/gtest.h>

#include "cli/EscapedText.h"

namespace {
TEST(EscapedText, EscapesBecomeTheirBytes) {
    const struct {
        const char* typed;
        std::string bytes;
    } cases[] = {
        {"OK", "OK"},
        {"\\x06", "\x06"},
        {"OK\\r\\n", "OK\r\n"},
        {"a\\\\b", "a\\b"},
        {"\\t\\0", std::string("\t\0", 2)},
        {"\\e\\a", "\x1b\a"},
        {"\\101\\x41x", "AAx"},  // octal and hex, and a letter after them
        {"\\x4g", "\x04g"},      // one hex digit is enough
        {"\\1234", "S4"},        // at most three octal digits
        {"\\xff\\377", "\xff\xff"},
    };
    for (const auto& c : cases) {
        std::string error;
        const std::optional<std::string> bytes = ParseEscapedText(c.typed, error);
        ASSERT_TRUE(bytes.has_value()) << c.typed << ": " << error;
        EXPECT_EQ(*bytes, c.bytes) << c.typed;
    }
}

TEST(EscapedText, ABadEscapeIsRefusedAndNamed) {
    const struct {
        const char* typed;
        const char* named;
    } cases[] = {
        {"OK\\q", "\\q is not an escape"},      {"\\x", "\\x without hex digits"},
        {"\\xg1", "\\x without hex digits"},    {"end\\", "a lone \\ at the end"},
        {"\\400", "\\400 is more than a byte"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(ParseEscapedText(c.typed, error).has_value()) << c.typed;
        EXPECT_NE(error.find(c.named), std::string::npos) << c.typed << ": " << error;
    }
}
}  // namespace
