#include "transport/RecvQueue.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/Trace.h"

namespace {

constexpr char kDelimiter[] = "\r\n";

// Boyer-Moore search for every non-overlapping occurrence of a pattern in one chunk. Both tables
// are built from the pattern on every search: for a two-byte delimiter that is a few hundred
// byte writes, and it keeps the search free of shared state.
class CBoyerMoore {
  public:
    CBoyerMoore(const std::uint8_t* pPattern, std::size_t nPattern)
        : m_pPattern(pPattern), m_nPattern(nPattern), m_goodSuffix(nPattern) {
        BuildBadCharacter();
        BuildGoodSuffix();
    }

    // The end positions (one past the pattern's last byte) of every occurrence, in order.
    std::vector<std::uint32_t> FindEnds(const std::uint8_t* pText, std::size_t nText) const {
        std::vector<std::uint32_t> ends;
        const std::size_t m = m_nPattern;
        if (m == 0 || nText < m) {
            return ends;
        }
        std::size_t j = 0;
        std::size_t lastEnd = 0;
        while (j <= nText - m) {
            std::ptrdiff_t i = static_cast<std::ptrdiff_t>(m) - 1;
            while (i >= 0 && m_pPattern[i] == pText[static_cast<std::size_t>(i) + j]) {
                --i;
            }
            if (i < 0) {
                // Occurrences never overlap: one that begins inside the previous one is skipped
                // (impossible for "\r\n", whose good-suffix shift is its whole length).
                if (j >= lastEnd) {
                    ends.push_back(static_cast<std::uint32_t>(j + m));
                    lastEnd = j + m;
                }
                j += m_goodSuffix[0];
            } else {
                const std::size_t at = static_cast<std::size_t>(i);
                const std::ptrdiff_t badShift =
                    static_cast<std::ptrdiff_t>(m_badCharacter[pText[at + j]]) -
                    static_cast<std::ptrdiff_t>(m) + 1 + i;
                j += std::max<std::ptrdiff_t>(static_cast<std::ptrdiff_t>(m_goodSuffix[at]),
                                              badShift);
            }
        }
        return ends;
    }

  private:
    void BuildBadCharacter() {
        m_badCharacter.fill(m_nPattern);
        for (std::size_t i = 0; i + 1 < m_nPattern; ++i) {
            m_badCharacter[m_pPattern[i]] = m_nPattern - 1 - i;
        }
    }

    void BuildGoodSuffix() {
        const std::ptrdiff_t m = static_cast<std::ptrdiff_t>(m_nPattern);
        if (m == 0) {
            return;
        }
        // suffix[i]: length of the longest substring ending at i that is a suffix of the pattern.
        std::vector<std::ptrdiff_t> suffix(m_nPattern);
        suffix[m - 1] = m;
        std::ptrdiff_t g = m - 1;
        std::ptrdiff_t f = 0;
        for (std::ptrdiff_t i = m - 2; i >= 0; --i) {
            if (i > g && suffix[i + m - 1 - f] < i - g) {
                suffix[i] = suffix[i + m - 1 - f];
            } else {
                g = std::min(g, i);
                f = i;
                while (g >= 0 && m_pPattern[g] == m_pPattern[g + m - 1 - f]) {
                    --g;
                }
                suffix[i] = f - g;
            }
        }
        for (std::ptrdiff_t i = 0; i < m; ++i) {
            m_goodSuffix[i] = m_nPattern;
        }
        std::ptrdiff_t j = 0;
        for (std::ptrdiff_t i = m - 1; i >= 0; --i) {
            if (suffix[i] == i + 1) {
                for (; j < m - 1 - i; ++j) {
                    if (m_goodSuffix[j] == m_nPattern) {
                        m_goodSuffix[j] = static_cast<std::size_t>(m - 1 - i);
                    }
                }
            }
        }
        for (std::ptrdiff_t i = 0; i <= m - 2; ++i) {
            m_goodSuffix[m - 1 - suffix[i]] = static_cast<std::size_t>(m - 1 - i);
        }
    }

    const std::uint8_t* m_pPattern;
    std::size_t m_nPattern;
    std::array<std::size_t, 256> m_badCharacter{};
    std::vector<std::size_t> m_goodSuffix;
};

// A new entry holding nLen bytes (two pieces, either may be empty) and one zero byte.
RecvEntry* NewEntry(const std::uint8_t* pFirst, std::uint32_t nFirst, const std::uint8_t* pSecond,
                    std::uint32_t nSecond, bool bComplete) {
    auto entry = std::make_unique<RecvEntry>();
    const std::uint32_t nLen = nFirst + nSecond;
    entry->pData = new std::uint8_t[nLen + 1];
    if (nFirst != 0) {
        std::memcpy(entry->pData, pFirst, nFirst);
    }
    if (nSecond != 0) {
        std::memcpy(entry->pData + nFirst, pSecond, nSecond);
    }
    entry->pData[nLen] = 0;
    entry->nSize = nLen + 1;
    entry->bComplete = bComplete;
    return entry.release();
}

void FreeEntry(RecvEntry* pEntry) {
    delete[] pEntry->pData;
    delete pEntry;
}

}  // namespace

CRecvQueue::CRecvQueue() = default;

CRecvQueue::~CRecvQueue() {
    QRelease();
}

int CRecvQueue::QPushData(const std::uint8_t* pBytes, std::uint32_t nLen) {
    std::lock_guard lock(m_cs);
    // Counted in 64 bits: a huge chunk must not wrap around and slip under the bound.
    if (static_cast<std::uint64_t>(m_nTotalBytes) + nLen > kMaxTotalBytes) {
        Trace("[CRecvQueue::QPushData] Full recv queue");
        return -1;
    }
    try {
        const auto* pDelimiter = reinterpret_cast<const std::uint8_t*>(kDelimiter);
        const CBoyerMoore search(pDelimiter, std::strlen(kDelimiter));
        const std::vector<std::uint32_t> ends =
            nLen != 0 ? search.FindEnds(pBytes, nLen) : std::vector<std::uint32_t>();

        std::uint32_t start = 0;
        bool bFirst = true;
        for (const std::uint32_t end : ends) {
            if (bFirst && m_pTail != nullptr && !m_pTail->bComplete) {
                Merge(pBytes, end, true);
            } else {
                Append(pBytes + start, end - start, true);
            }
            bFirst = false;
            start = end;
        }
        if (ends.empty() || start != nLen) {
            if (m_pTail != nullptr && !m_pTail->bComplete) {
                Merge(pBytes + start, nLen - start, false);
            } else {
                Append(pBytes + start, nLen - start, false);
            }
        }
    } catch (...) {
        Trace("[CRecvQueue::QPushData] ERROR Exception");
        return -100;
    }
    return 0;
}

void CRecvQueue::Append(const std::uint8_t* pBytes, std::uint32_t nLen, bool bComplete) {
    RecvEntry* pEntry = NewEntry(pBytes, nLen, nullptr, 0, bComplete);
    pEntry->pPrev = m_pTail;
    if (m_pTail != nullptr) {
        m_pTail->pNext = pEntry;
    } else {
        m_pHead = pEntry;
    }
    m_pTail = pEntry;
    m_nTotalBytes += pEntry->nSize;
}

void CRecvQueue::Merge(const std::uint8_t* pBytes, std::uint32_t nLen, bool bComplete) {
    RecvEntry* pOld = m_pTail;
    RecvEntry* pEntry = NewEntry(pOld->pData, pOld->nSize - 1, pBytes, nLen, bComplete);
    pEntry->pPrev = pOld->pPrev;
    if (pOld->pPrev != nullptr) {
        pOld->pPrev->pNext = pEntry;
    } else {
        m_pHead = pEntry;
    }
    m_pTail = pEntry;
    m_nTotalBytes = m_nTotalBytes - pOld->nSize + pEntry->nSize;
    FreeEntry(pOld);
}

int CRecvQueue::QPopData(std::uint8_t** ppData, int* pnSize) {
    std::lock_guard lock(m_cs);
    if (m_pHead == nullptr) {
        return -1;
    }
    if (!m_pHead->bComplete) {
        return -2;
    }
    try {
        RecvEntry* pEntry = m_pHead;
        auto* pCopy = new std::uint8_t[pEntry->nSize]();
        std::memcpy(pCopy, pEntry->pData, pEntry->nSize);
        *ppData = pCopy;
        *pnSize = static_cast<int>(pEntry->nSize);

        m_pHead = pEntry->pNext;
        if (m_pHead != nullptr) {
            m_pHead->pPrev = nullptr;
        } else {
            m_pTail = nullptr;
        }
        m_nTotalBytes -= pEntry->nSize;
        FreeEntry(pEntry);
    } catch (...) {
        Trace("[CRecvQueue::QPopData] ERROR Exception");
        return -100;
    }
    return 0;
}

void CRecvQueue::QRelease() {
    std::lock_guard lock(m_cs);
    RecvEntry* pEntry = m_pHead;
    while (pEntry != nullptr) {
        RecvEntry* pNext = pEntry->pNext;
        FreeEntry(pEntry);
        pEntry = pNext;
    }
    m_nTotalBytes = 0;
    m_pHead = nullptr;
    m_pTail = nullptr;
}

std::uint32_t CRecvQueue::GetTotalBytes() const {
    std::lock_guard lock(m_cs);
    return m_nTotalBytes;
}

std::uint32_t CRecvQueue::GetEntryCount() const {
    std::lock_guard lock(m_cs);
    std::uint32_t count = 0;
    for (const RecvEntry* pEntry = m_pHead; pEntry != nullptr; pEntry = pEntry->pNext) {
        ++count;
    }
    return count;
}
