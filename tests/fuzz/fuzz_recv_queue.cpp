// Drives the receive queue with a sequence of pushes, pops and releases decoded from the input,
// and checks it against a plain model built on std::string::find: same results, same lines,
// same stored size. Independently of the model, every popped line ends with "\r\n" and a zero
// byte, and the bound is never passed by an accepted push.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <memory>
#include <string>

#include "transport/RecvQueue.h"

namespace {

struct ModelEntry {
    std::string bytes;
    bool bComplete = false;
};

class CModel {
  public:
    int Push(const std::string& chunk) {
        if (m_total + chunk.size() > 10240) {
            return -1;
        }
        // Every byte of an accepted chunk is stored; each new entry adds its zero byte.
        m_total += chunk.size();
        std::size_t start = 0;
        bool bFirst = true;
        for (std::size_t at = chunk.find("\r\n"); at != std::string::npos;
             at = chunk.find("\r\n", start)) {
            const std::size_t end = at + 2;
            if (bFirst && !m_entries.empty() && !m_entries.back().bComplete) {
                m_entries.back().bytes += chunk.substr(0, end);
                m_entries.back().bComplete = true;
            } else {
                m_entries.push_back({chunk.substr(start, end - start), true});
                ++m_total;
            }
            bFirst = false;
            start = end;
        }
        if (bFirst || start != chunk.size()) {
            if (!m_entries.empty() && !m_entries.back().bComplete) {
                m_entries.back().bytes += chunk.substr(start);
            } else {
                m_entries.push_back({chunk.substr(start), false});
                ++m_total;
            }
        }
        return 0;
    }

    int Pop(std::string& line) {
        if (m_entries.empty()) {
            return -1;
        }
        if (!m_entries.front().bComplete) {
            return -2;
        }
        line = m_entries.front().bytes;
        m_total -= line.size() + 1;
        m_entries.pop_front();
        return 0;
    }

    void Release() {
        m_entries.clear();
        m_total = 0;
    }

    std::size_t Total() const { return m_total; }
    std::size_t Count() const { return m_entries.size(); }

  private:
    std::deque<ModelEntry> m_entries;
    std::size_t m_total = 0;  // bytes of every entry plus one each
};

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CRecvQueue queue;
    CModel model;
    std::size_t at = 0;
    auto next = [&]() -> std::uint8_t { return at < size ? data[at++] : 0; };
    while (at < size) {
        const std::uint8_t op = next();
        switch (op % 8) {
            case 0:
            case 1:
            case 2: {  // a short chunk taken from the input
                const std::size_t length = std::min<std::size_t>(next() % 64, size - at);
                const std::string chunk(reinterpret_cast<const char*>(data + at), length);
                at += length;
                const std::uint32_t before = queue.GetTotalBytes();
                const int result =
                    queue.QPushData(reinterpret_cast<const std::uint8_t*>(chunk.data()),
                                    static_cast<std::uint32_t>(chunk.size()));
                Check(result == model.Push(chunk));
                Check(result == 0 || queue.GetTotalBytes() == before);
                break;
            }
            case 3: {  // a long chunk: a short pattern repeated, to reach the bound
                const std::size_t length = (std::size_t{next()} << 8 | next()) % 10400;
                const std::size_t patternLength = std::min<std::size_t>(next() % 8 + 1, size - at);
                std::string pattern(reinterpret_cast<const char*>(data + at), patternLength);
                at += patternLength;
                if (pattern.empty()) {
                    pattern = "\r\n";
                }
                std::string chunk;
                while (chunk.size() < length) {
                    chunk += pattern;
                }
                chunk.resize(length);
                const int result =
                    queue.QPushData(reinterpret_cast<const std::uint8_t*>(chunk.data()),
                                    static_cast<std::uint32_t>(chunk.size()));
                Check(result == model.Push(chunk));
                break;
            }
            case 4:
            case 5:
            case 6: {
                std::uint8_t* pData = nullptr;
                int nSize = 0;
                const int result = queue.QPopData(&pData, &nSize);
                std::string expected;
                Check(result == model.Pop(expected));
                if (result == 0) {
                    std::unique_ptr<std::uint8_t[]> owner(pData);
                    Check(nSize >= 3);
                    Check(pData[nSize - 1] == 0);
                    Check(pData[nSize - 3] == '\r' && pData[nSize - 2] == '\n');
                    Check(expected == std::string(reinterpret_cast<const char*>(pData),
                                                  static_cast<std::size_t>(nSize - 1)));
                }
                break;
            }
            default:
                if (next() % 4 == 0) {
                    queue.QRelease();
                    model.Release();
                }
                break;
        }
        Check(queue.GetTotalBytes() == model.Total());
    }
    // Counting entries walks the whole queue: once per input is enough.
    Check(queue.GetEntryCount() == model.Count());
    return 0;
}
