#pragma once
// A message sink that records every message instead of showing it, for tests. Thread-safe:
// channel and engine threads report through it while the test reads it.
#include <mutex>
#include <string>
#include <vector>

#include "transport/MessageSink.h"

class RecordingMessageSink : public CMessageSink {
  public:
    struct Message {
        std::string text;
        std::string caption;
        bool operator==(const Message&) const = default;
    };

    void ShowMessage(const std::string& text, const std::string& caption) override {
        std::lock_guard lock(m_mutex);
        m_messages.push_back({text, caption});
    }

    std::vector<Message> Messages() const {
        std::lock_guard lock(m_mutex);
        return m_messages;
    }

  private:
    mutable std::mutex m_mutex;
    std::vector<Message> m_messages;
};
