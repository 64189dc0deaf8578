#pragma once
// The interface of a byte queue that turns received chunks into whole items: push bytes, pop the
// oldest complete item as a copy, release everything. Which threads may call, and how failures
// are reported, is said by each concrete queue.
#include <cstdint>

class CQueueBase {
  public:
    virtual int QPushData(const std::uint8_t* pBytes, std::uint32_t nLen) = 0;
    virtual int QPopData(std::uint8_t** ppData, int* pnSize) = 0;
    virtual void QRelease() = 0;

  protected:
    CQueueBase() = default;
    // A queue is always destroyed through its concrete type, never through this base.
    ~CQueueBase() = default;
    CQueueBase(const CQueueBase&) = default;
    CQueueBase& operator=(const CQueueBase&) = default;

    std::uint32_t m_nTotalBytes = 0;  // sum of the stored sizes of all queued items
};
