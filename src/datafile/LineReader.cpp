#include "datafile/LineReader.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "datafile/PlayFile.h"

CLineReader::CLineReader(LineMode mode, std::size_t bufferSize)
    : m_mode(mode), m_buffer(std::max<std::size_t>(bufferSize, 1)) {}

CLineReader::~CLineReader() {
    Close();
}

FileError CLineReader::Open(const std::string& path) {
    Close();
    m_lastError = m_file.OpenForRead(path);
    return m_lastError;
}

FileError CLineReader::OpenForPlayback(const std::string& path) {
    Close();
    if ((m_lastError = CPlayFile::OpenLocked(path, m_file)) == FileError::None) {
        m_inPlay.emplace(path);
    }
    return m_lastError;
}

FileError CLineReader::OpenShared(std::shared_ptr<const CPlayFile> file) {
    Close();
    if (file == nullptr || !file->Handle().IsOpen()) {
        m_lastError = FileError::NotSupported;
        return m_lastError;
    }
    m_pShared = std::move(file);
    m_lastError = FileError::None;
    return m_lastError;
}

void CLineReader::Close() {
    m_file.Close();
    m_inPlay.reset();
    m_pShared.reset();
    m_nSharedOffset = 0;
    m_nPos = m_nEnd = 0;
    m_bEof = false;
    m_bInLine = false;
}

FileError CLineReader::Rewind() {
    m_nPos = m_nEnd = 0;
    m_bEof = false;
    m_bInLine = false;
    if (m_pShared != nullptr) {
        m_nSharedOffset = 0;
        m_lastError = FileError::None;
        return m_lastError;
    }
    m_lastError = m_file.Rewind();
    return m_lastError;
}

FileError CLineReader::Fill() {
    m_nPos = 0;
    m_nEnd = 0;
    const FileReadResult result =
        m_pShared != nullptr
            ? m_pShared->Handle().ReadAt(m_nSharedOffset, m_buffer.data(), m_buffer.size())
            : m_file.Read(m_buffer.data(), m_buffer.size());
    if (result.error != FileError::None) {
        return result.error;
    }
    m_nSharedOffset += result.bytes;
    m_nEnd = result.bytes;
    m_bEof = result.bytes == 0;
    return FileError::None;
}

std::string_view CLineReader::Unread() {
    while (m_nPos == m_nEnd && !m_bEof) {
        if ((m_lastError = Fill()) != FileError::None) {
            return {};
        }
    }
    return {m_buffer.data() + m_nPos, m_nEnd - m_nPos};
}

ReadLineResult CLineReader::ReadLine(std::string& line) {
    line.clear();
    m_lastError = FileError::None;
    if (!IsOpen()) {
        m_lastError = FileError::NotSupported;
        return ReadLineResult::Error;
    }
    // A last line without line end is still a line, and so is the rest of a line begun in pieces.
    bool bHaveBytes = m_bInLine;
    m_bInLine = false;
    for (std::string_view unread = Unread(); !unread.empty(); unread = Unread()) {
        const char* start = unread.data();
        const std::size_t available = unread.size();
        const auto* lf = static_cast<const char*>(std::memchr(start, '\n', available));
        if (lf == nullptr) {
            line.append(start, available);
            m_nPos = m_nEnd;
            bHaveBytes = true;
            continue;
        }
        line.append(start, static_cast<std::size_t>(lf - start));
        m_nPos += static_cast<std::size_t>(lf - start) + 1;
        // The CR may have come with the previous buffer: look at the assembled line, not the
        // buffer.
        if (m_mode == LineMode::Text && !line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        return ReadLineResult::Line;
    }
    if (m_lastError != FileError::None) {
        return ReadLineResult::Error;
    }
    return bHaveBytes ? ReadLineResult::Line : ReadLineResult::EndOfFile;
}

ReadLineResult CLineReader::ReadLinePiece(std::string& piece, std::size_t maxBytes,
                                          bool& bLineEnd) {
    piece.clear();
    bLineEnd = false;
    m_lastError = FileError::None;
    if (!IsOpen() || m_mode != LineMode::Binary) {
        m_lastError = FileError::NotSupported;
        return ReadLineResult::Error;
    }
    maxBytes = std::max<std::size_t>(maxBytes, 1);
    for (std::string_view unread = Unread(); !unread.empty(); unread = Unread()) {
        const char* start = unread.data();
        const std::size_t available = unread.size();
        const std::size_t room = maxBytes - piece.size();
        // The LF may come right after the last byte that fits: the piece then ends the line.
        const auto* lf =
            static_cast<const char*>(std::memchr(start, '\n', std::min(available, room + 1)));
        if (lf != nullptr) {
            piece.append(start, static_cast<std::size_t>(lf - start));
            m_nPos += static_cast<std::size_t>(lf - start) + 1;
            m_bInLine = false;
            bLineEnd = true;
            return ReadLineResult::Line;
        }
        const std::size_t take = std::min(available, room);
        piece.append(start, take);
        m_nPos += take;
        m_bInLine = true;
        if (piece.size() == maxBytes) {
            return ReadLineResult::Line;
        }
    }
    if (m_lastError != FileError::None) {
        return ReadLineResult::Error;
    }
    // The end of the file ends a line begun, and begins none.
    if (!m_bInLine) {
        return ReadLineResult::EndOfFile;
    }
    m_bInLine = false;
    bLineEnd = true;
    return ReadLineResult::Line;
}
