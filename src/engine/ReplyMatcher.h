#pragma once
// Finds a device's answer in what it sends back: the run waits after each line until the bytes
// received since the line went out hold the answer text (an ACK byte, "OK\r\n"...). Everything
// else the device sends is passed over, and the text is found even when it arrives split across
// several reads: the last text.size() - 1 bytes of what came before are kept for the next read.
// Used by one thread at a time (a run's thread or a lane's loop); nothing fails.
#include <string>
#include <string_view>

class CReplyMatcher {
  public:
    explicit CReplyMatcher(std::string text = {}) : m_text(std::move(text)) {}

    bool Enabled() const { return !m_text.empty(); }
    const std::string& Text() const { return m_text; }

    // A line has gone out: bytes seen before it answer nothing.
    void Reset() { m_window.clear(); }

    // Bytes that came from the device; true once they (with those kept from earlier reads since
    // Reset) hold the whole answer text. A found answer starts the window afresh.
    bool Feed(std::string_view bytes);

  private:
    std::string m_text;
    std::string m_window;  // the tail of earlier reads: at most m_text.size() - 1 bytes
};
