#pragma once
// Where the core sends a message that the user must see (a serial port that cannot be opened,
// a thread that cannot start). The window shows a modal box and blocks the calling worker until
// it is dismissed; the command line prints the text; tests record it.
// Called from worker threads; implementations must be thread-safe. Never fails.
#include <string>

class CMessageSink {
  public:
    virtual ~CMessageSink() = default;
    // Shows `text` under `caption` with an OK button and returns once it has been dismissed
    // (or at once where nobody can dismiss it).
    virtual void ShowMessage(const std::string& text, const std::string& caption) = 0;
};
