#include "datafile/LineIndex.h"

#include <algorithm>
#include <cstring>

#include "datafile/DataFileKind.h"

namespace {
constexpr std::size_t kMarkerLength = sizeof kTillstreamDataMarker - 1;
}

CLineIndex::CLineIndex(std::size_t bufferSize, unsigned lowBits)
    : m_nBufferSize(std::max<std::size_t>(bufferSize, 1)),
      m_nLowBits(std::clamp(lowBits, 1u, kDefaultLowBits)) {}

void CLineIndex::Clear() {
    m_startLow.clear();
    m_startLow.shrink_to_fit();
    m_highStarts.clear();
    m_highStarts.shrink_to_fit();
    m_endsBeforeSkipped.clear();
    m_endsBeforeSkipped.shrink_to_fit();
    m_nLastEnd = 0;
    m_file.Close();
}

void CLineIndex::AddLine(std::uint64_t start, std::uint64_t end) {
    if (!m_startLow.empty() && m_nLastEnd + 1 != start) {
        m_endsBeforeSkipped.emplace_back(m_startLow.size() - 1, m_nLastEnd);
    }
    while ((static_cast<std::uint64_t>(m_highStarts.size()) + 1) << m_nLowBits <= start) {
        m_highStarts.push_back(m_startLow.size());
    }
    const std::uint64_t lowMask = (std::uint64_t{1} << m_nLowBits) - 1;
    m_startLow.push_back(static_cast<std::uint32_t>(start & lowMask));
    m_nLastEnd = end;
}

std::uint64_t CLineIndex::StartAt(std::size_t i) const {
    const auto high = static_cast<std::uint64_t>(
        std::upper_bound(m_highStarts.begin(), m_highStarts.end(), i) - m_highStarts.begin());
    return high << m_nLowBits | m_startLow[i];
}

std::uint64_t CLineIndex::EndAt(std::size_t i) const {
    if (i + 1 == m_startLow.size()) {
        return m_nLastEnd;
    }
    const auto skipped = std::lower_bound(m_endsBeforeSkipped.begin(), m_endsBeforeSkipped.end(), i,
                                          [](const std::pair<std::size_t, std::uint64_t>& entry,
                                             std::size_t line) { return entry.first < line; });
    if (skipped != m_endsBeforeSkipped.end() && skipped->first == i) {
        return skipped->second;
    }
    return StartAt(i + 1) - 1;  // the LF just before the next line
}

int CLineIndex::Build(const std::string& path) {
    Clear();
    if (m_file.OpenForRead(path) != FileError::None) {
        return -1;
    }
    std::vector<char> buffer(m_nBufferSize);
    std::uint64_t bufferOffset = 0;  // file offset of buffer[0]
    std::uint64_t lineStart = 0;     // file offset of the current line's first byte
    // The first bytes of the current line, gathered across buffer boundaries, to tell marker
    // lines (which the list does not show) from all others.
    char head[kMarkerLength];
    std::size_t headLength = 0;

    auto addLine = [&](std::uint64_t end) {
        const bool bMarker = headLength == kMarkerLength &&
                             std::memcmp(head, kTillstreamDataMarker, kMarkerLength) == 0;
        if (!bMarker) {
            AddLine(lineStart, end);
        }
    };

    for (;;) {
        const FileReadResult read = m_file.Read(buffer.data(), buffer.size());
        if (read.error != FileError::None) {
            Clear();
            return -1;
        }
        if (read.bytes == 0) {
            break;
        }
        const char* data = buffer.data();
        std::size_t pos = 0;
        while (pos < read.bytes) {
            const auto* lf =
                static_cast<const char*>(std::memchr(data + pos, '\n', read.bytes - pos));
            const std::size_t segmentEnd =
                lf != nullptr ? static_cast<std::size_t>(lf - data) : read.bytes;
            if (headLength < kMarkerLength) {
                const std::size_t take = std::min(kMarkerLength - headLength, segmentEnd - pos);
                std::memcpy(head + headLength, data + pos, take);
                headLength += take;
            }
            if (lf == nullptr) {
                break;
            }
            addLine(bufferOffset + segmentEnd);
            lineStart = bufferOffset + segmentEnd + 1;
            headLength = 0;
            pos = segmentEnd + 1;
        }
        bufferOffset += read.bytes;
    }
    // The last line counts even without a line end.
    if (bufferOffset > lineStart) {
        addLine(bufferOffset);
    }
    return 0;
}

std::uint64_t CLineIndex::LengthAt(std::size_t i) const {
    return i < m_startLow.size() ? EndAt(i) - StartAt(i) : 0;
}

bool CLineIndex::ReadLineAt(std::size_t i, std::string& line, std::size_t maxBytes) const {
    line.clear();
    if (i >= m_startLow.size() || !m_file.IsOpen()) {
        return false;
    }
    line.resize(static_cast<std::size_t>(std::min<std::uint64_t>(LengthAt(i), maxBytes)));
    const FileReadResult read = m_file.ReadAt(StartAt(i), line.data(), line.size());
    if (read.error != FileError::None || read.bytes != line.size()) {
        // The file was cut short behind our back (rewritten in place, not replaced).
        line.clear();
        return false;
    }
    return true;
}

std::string CLineIndex::LineAt(std::size_t i) const {
    std::string line;
    ReadLineAt(i, line);
    return line;
}
