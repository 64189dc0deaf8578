#pragma once
// The show-window request: another program (here the command line's `show`) asks the running
// Tillstream window of this user to come to the front, as the tray icon's "Tillstream Open"
// does. On Windows it is the registered window message "HWM_TRAY_REGISTERED_MSG" sent to the main
// window (found by its class and title) with wParam 0 and lParam the request; the window's
// result is the answer. On Linux it is a per-user local socket of that name in the runtime
// folder: the request is written as decimal text and a line end, the answer is one line.
// Any thread may call it. Failures are reported by the result, with the cause in `errorText`.
#include <string>

// The name of the registered message (and of the Linux socket).
inline constexpr char kShowWindowRequestName[] = "HWM_TRAY_REGISTERED_MSG";
// The window class the main window registers on Windows; its title is kProgramName.
inline constexpr char kMainWindowClassName[] = "TillstreamMainWindow";
// lParam of the request that restores the window (9 does too; anything else is answered only).
inline constexpr long kShowWindowRestore = 1;

inline constexpr int kShowWindowRequestOk = 0;
inline constexpr int kShowWindowNoWindow = -1;  // no window (or nobody listening) to ask
inline constexpr int kShowWindowFailed = -2;    // the window was found but did not answer

// Where the request goes, for messages: the socket's path, or the window's class and title.
std::string ShowWindowRequestTarget();

// Sends `lParam` to the window and waits at most `timeoutMs` milliseconds for its answer, which
// `answer` receives as decimal text.
int SendShowWindowRequest(long lParam, std::string& answer, int timeoutMs, std::string& errorText);
