#pragma once
// A first-in first-out queue of received text lines, each ending with "\r\n". Bytes arrive in
// chunks of any size; a trailing piece without "\r\n" waits as a pending partial line for the
// rest of it. Bounded: a chunk that would take the stored sizes past 10240 bytes is refused
// whole.
//
// Threads: any; every operation holds the queue's own lock from start to end, so one thread may
// push while another pops. Popped lines are copies.
//
// Failures: QPushData returns 0, -1 (full, nothing stored) or -100 (unexpected, e.g. out of
// memory; entries added before it stay); QPopData returns 0, -1 (empty), -2 (only a pending
// partial line) or -100. Full queues and unexpected failures write a trace.
#include <cstdint>
#include <mutex>

#include "transport/QueueBase.h"

// One queued line, owned by the queue.
struct RecvEntry {
    std::uint8_t* pData = nullptr;  // the line's bytes and one zero byte
    std::uint32_t nSize = 0;        // bytes of the line + 1 (the zero byte counts)
    bool bComplete = false;         // the line ends with the delimiter (part of its bytes)
    RecvEntry* pPrev = nullptr;     // next older entry
    RecvEntry* pNext = nullptr;     // next newer entry
};

class CRecvQueue final : public CQueueBase {
  public:
    static constexpr std::uint32_t kMaxTotalBytes = 10240;

    CRecvQueue();
    ~CRecvQueue();  // QRelease()
    CRecvQueue(const CRecvQueue&) = delete;
    CRecvQueue& operator=(const CRecvQueue&) = delete;

    // Adds nLen received bytes: complete lines become entries of their own, and the bytes
    // after the last delimiter become (or extend) the pending partial line. A delimiter split
    // between two chunks is not recognised. Refused whole (-1) when the stored sizes plus nLen
    // would pass 10240.
    int QPushData(const std::uint8_t* pBytes, std::uint32_t nLen) override;

    // Takes the oldest complete line. On 0, *ppData is a new buffer (free it with delete[]) of
    // *pnSize bytes: the line with its delimiter, then one zero byte. On -1 and -2 the outputs
    // are not written.
    int QPopData(std::uint8_t** ppData, int* pnSize) override;

    // Frees every entry; the queue is empty afterwards.
    void QRelease() override;

    // The sum of the stored sizes (each line's length + 1), as the bound counts it.
    std::uint32_t GetTotalBytes() const;
    // The number of queued entries, the pending partial line included.
    std::uint32_t GetEntryCount() const;

  private:
    void Append(const std::uint8_t* pBytes, std::uint32_t nLen, bool bComplete);
    void Merge(const std::uint8_t* pBytes, std::uint32_t nLen, bool bComplete);

    mutable std::mutex m_cs;
    RecvEntry* m_pHead = nullptr;  // oldest: the next to be popped
    RecvEntry* m_pTail = nullptr;  // newest: the only one that may be partial
};
