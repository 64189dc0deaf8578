#pragma once
// The live option record shared between the user-interface thread, which replaces it whole
// after a confirmed dialog, and the engine threads, which read a fresh copy when it has changed.
// Any thread may call every operation; a reader always sees one whole record, old or new.
#include <atomic>
#include <cstdint>
#include <mutex>

#include "options/OptionRecord.h"

class CSharedOptions {
  public:
    explicit CSharedOptions(const OptionRecord& initial) : m_record(initial) {}

    OptionRecord Get() const {
        std::lock_guard lock(m_mutex);
        return m_record;
    }
    void Set(const OptionRecord& record) {
        std::lock_guard lock(m_mutex);
        m_record = record;
        m_nChangeCount.fetch_add(1, std::memory_order_release);
    }
    // Moves at every Set; cheap enough to ask before every line. Read it before Get: a Set in
    // between then only makes the next comparison see a change once more.
    std::uint64_t ChangeCount() const { return m_nChangeCount.load(std::memory_order_acquire); }

  private:
    mutable std::mutex m_mutex;
    OptionRecord m_record;
    std::atomic<std::uint64_t> m_nChangeCount{0};
};
