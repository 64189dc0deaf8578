#pragma once
// The live option record shared between the user-interface thread, which replaces it whole
// after a confirmed dialog, and the engine threads, which read a fresh copy at each line.
// Any thread may call both operations; a reader always sees one whole record, old or new.
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
    }

  private:
    mutable std::mutex m_mutex;
    OptionRecord m_record;
};
