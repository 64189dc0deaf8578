#pragma once
// What the flags of a message box (MessageBoxA's) ask for: its buttons in order with their texts
// and the result each gives, the default button, what Esc and the close box give, and its icon.
// A view whose system shows message boxes from the flags passes them on unchanged; any other
// view builds its box from this.
// Constant data; any thread. Flags the system would refuse (an unknown button set, a default
// button the set does not have) read as an OK button alone and the first button.
#include <cstddef>
#include <string>
#include <vector>

struct MessageBoxButton {
    int nResult = 0;
    std::string text;  // with the "&" before the access key
};

struct MessageBoxStyle {
    enum class Icon { kNone, kError, kQuestion, kWarning, kInformation };

    std::vector<MessageBoxButton> buttons;
    std::size_t nDefault = 0;  // index into buttons
    int nEscapeResult = 0;     // 0: Esc and the close box do nothing
    Icon icon = Icon::kNone;

    static MessageBoxStyle FromFlags(unsigned nFlags);
};
