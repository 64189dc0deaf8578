#include "lanes/DeviceQueue.h"

#include <algorithm>
#include <utility>

void CDeviceQueue::Push(std::shared_ptr<const std::string> data, std::size_t offset, bool bLineEnd,
                        Clock::time_point now) {
    const std::size_t size = data->size();
    if (offset >= size && !bLineEnd) {
        return;  // nothing to write and no line to count
    }
    m_nBytes += size - std::min(offset, size);
    m_pieces.push_back({std::move(data), offset, bLineEnd, now});
}

std::string_view CDeviceQueue::Front() const {
    if (m_pieces.empty()) {
        return {};
    }
    const Piece& front = m_pieces.front();
    return std::string_view(*front.data).substr(std::min(front.offset, front.data->size()));
}

std::uint64_t CDeviceQueue::Consume(std::size_t count) {
    std::uint64_t lines = 0;
    while (!m_pieces.empty()) {
        Piece& front = m_pieces.front();
        const std::size_t left = front.data->size() - std::min(front.offset, front.data->size());
        const std::size_t taken = std::min(count, left);
        front.offset += taken;
        m_nBytes -= taken;
        count -= taken;
        if (taken < left) {
            break;
        }
        lines += front.bLineEnd ? 1 : 0;
        m_pieces.pop_front();
        if (count == 0 && !m_pieces.empty() && !Front().empty()) {
            break;
        }
    }
    return lines;
}

bool CDeviceQueue::OverBound(Clock::time_point now) const {
    return m_nBytes > kMaxQueuedBytes ||
           (!m_pieces.empty() && now - m_pieces.front().queuedAt > kMaxQueuedAge);
}

void CDeviceQueue::Clear() {
    m_pieces.clear();
    m_nBytes = 0;
}
