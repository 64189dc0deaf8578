#include "datafile/LineIndex.h"

#include <algorithm>
#include <cstring>

#include "datafile/DataFileKind.h"

namespace {
constexpr std::size_t kMarkerLength = sizeof kTillstreamDataMarker - 1;
}

CLineIndex::CLineIndex(std::size_t bufferSize)
    : m_nBufferSize(std::max<std::size_t>(bufferSize, 1)) {}

void CLineIndex::Clear() {
    m_lines.clear();
    m_lines.shrink_to_fit();
    m_file.Close();
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
            m_lines.push_back(LineSpan{lineStart, end - lineStart});
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

bool CLineIndex::ReadLineAt(std::size_t i, std::string& line) const {
    line.clear();
    if (i >= m_lines.size() || !m_file.IsOpen()) {
        return false;
    }
    const LineSpan& span = m_lines[i];
    line.resize(static_cast<std::size_t>(span.length));
    const FileReadResult read = m_file.ReadAt(span.offset, line.data(), line.size());
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
