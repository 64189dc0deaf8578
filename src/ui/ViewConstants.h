#pragma once
// The numbers the ui and its views exchange, with the values the Windows dialog manager gives
// them, so that a native view passes them through unchanged. They are named apart from the
// system's own macros (IDOK, SW_HIDE, ...), which a native view has in scope as well.
// Constant data.

// Results and IDs of the standard buttons.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdAbort = 3;
inline constexpr int kIdRetry = 4;
inline constexpr int kIdIgnore = 5;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

// ShowWindow commands.
inline constexpr int kSwHide = 0;
inline constexpr int kSwShowNormal = 1;
inline constexpr int kSwMinimize = 6;
inline constexpr int kSwShow = 5;

// System commands (WM_SYSCOMMAND); the low four bits are the system's own and are ignored.
inline constexpr unsigned kScMinimize = 0xF020;
inline constexpr unsigned kScClose = 0xF060;
inline constexpr unsigned kScMask = 0xFFF0;

// The keys a view passes on (OnKeyDown); every other key is the view's own.
inline constexpr int kVkReturn = 0x0D;
inline constexpr int kVkEscape = 0x1B;
inline constexpr int kVkF1 = 0x70;

// Message box flags: the buttons (the low four bits), the icon (the next four) and which button
// is the default (the next four).
inline constexpr unsigned kMbOk = 0x0;
inline constexpr unsigned kMbOkCancel = 0x1;
inline constexpr unsigned kMbAbortRetryIgnore = 0x2;
inline constexpr unsigned kMbYesNoCancel = 0x3;
inline constexpr unsigned kMbYesNo = 0x4;
inline constexpr unsigned kMbRetryCancel = 0x5;
inline constexpr unsigned kMbTypeMask = 0xF;
inline constexpr unsigned kMbIconHand = 0x10;
inline constexpr unsigned kMbIconQuestion = 0x20;
inline constexpr unsigned kMbIconExclamation = 0x30;
inline constexpr unsigned kMbIconAsterisk = 0x40;
inline constexpr unsigned kMbIconMask = 0xF0;
inline constexpr unsigned kMbDefButton2 = 0x100;
inline constexpr unsigned kMbDefButton3 = 0x200;
inline constexpr unsigned kMbDefMask = 0xF00;

// Mouse messages a tray notification carries in the low 16 bits of its lParam.
inline constexpr long kWmMouseMove = 0x200;
inline constexpr long kWmLButtonDown = 0x201;
inline constexpr long kWmLButtonUp = 0x202;
inline constexpr long kWmLButtonDblClk = 0x203;
inline constexpr long kWmRButtonDown = 0x204;
inline constexpr long kWmRButtonUp = 0x205;

// The first message number free for a program's own use (WM_USER).
inline constexpr unsigned kWmUser = 0x0400;

// Alignment of a report list's column (LVCFMT_LEFT, LVCFMT_CENTER).
inline constexpr int kColumnLeft = 0;
inline constexpr int kColumnCenter = 2;
