#pragma once
// The show-window request of a running window, sent from outside: a per-user local socket that a
// window listens on; the client writes the request as one line and reads one answer line.
// Any thread may call it. Failures are reported by the result, with the cause in `errorText`.
#include <string>

inline constexpr int kLocalRequestOk = 0;
inline constexpr int kLocalRequestNoListener = -1;  // no socket there, or nobody accepts on it
inline constexpr int kLocalRequestFailed = -2;      // connected, but no answer line came

// Connects to the local socket at `socketPath`, writes `request`, and reads the answer up to its
// first line end (removed) within `timeoutMs` milliseconds.
int SendLocalRequest(const std::string& socketPath, const std::string& request,
                     std::string& answerLine, int timeoutMs, std::string& errorText);
