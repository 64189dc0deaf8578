#include "ui/MessageBoxStyle.h"

#include "ui/ViewConstants.h"

MessageBoxStyle MessageBoxStyle::FromFlags(unsigned nFlags) {
    const MessageBoxButton ok{kIdOk, "OK"};
    const MessageBoxButton cancel{kIdCancel, "Cancel"};
    const MessageBoxButton abort{kIdAbort, "&Abort"};
    const MessageBoxButton retry{kIdRetry, "&Retry"};
    const MessageBoxButton ignore{kIdIgnore, "&Ignore"};
    const MessageBoxButton yes{kIdYes, "&Yes"};
    const MessageBoxButton no{kIdNo, "&No"};

    MessageBoxStyle style;
    switch (nFlags & kMbTypeMask) {
        case kMbOkCancel:
            style.buttons = {ok, cancel};
            break;
        case kMbAbortRetryIgnore:
            style.buttons = {abort, retry, ignore};
            break;
        case kMbYesNoCancel:
            style.buttons = {yes, no, cancel};
            break;
        case kMbYesNo:
            style.buttons = {yes, no};
            break;
        case kMbRetryCancel:
            style.buttons = {retry, cancel};
            break;
        default:
            style.buttons = {ok};
            break;
    }
    // Esc and the close box cancel when there is a Cancel button; a box with only OK takes them
    // for OK; any other box must be answered with one of its buttons.
    for (const MessageBoxButton& button : style.buttons) {
        if (button.nResult == kIdCancel) {
            style.nEscapeResult = kIdCancel;
        }
    }
    if (style.buttons.size() == 1) {
        style.nEscapeResult = kIdOk;
    }
    const std::size_t nDefault = (nFlags & kMbDefMask) >> 8;
    style.nDefault = nDefault < style.buttons.size() ? nDefault : 0;
    switch (nFlags & kMbIconMask) {
        case kMbIconHand:
            style.icon = Icon::kError;
            break;
        case kMbIconQuestion:
            style.icon = Icon::kQuestion;
            break;
        case kMbIconExclamation:
            style.icon = Icon::kWarning;
            break;
        case kMbIconAsterisk:
            style.icon = Icon::kInformation;
            break;
        default:
            break;
    }
    return style;
}
