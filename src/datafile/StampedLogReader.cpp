#include "datafile/StampedLogReader.h"

#include <utility>

#include "datafile/StampedLog.h"

FileError CStampedLogReader::OpenForPlayback(const std::string& path) {
    m_ahead.reset();
    m_bAheadRead = false;
    m_currentSeconds.reset();
    return m_file.OpenForPlayback(path);
}

FileError CStampedLogReader::OpenShared(std::shared_ptr<const CPlayFile> file) {
    m_ahead.reset();
    m_bAheadRead = false;
    m_currentSeconds.reset();
    return m_file.OpenShared(std::move(file));
}

ReadLineResult CStampedLogReader::ReadAhead() {
    m_ahead.reset();
    m_bAheadRead = true;
    for (;;) {
        m_aheadResult = m_file.ReadLine(m_line);
        if (m_aheadResult != ReadLineResult::Line) {
            return m_aheadResult;
        }
        const std::string_view payload = StampedLogPayload(m_line);
        if (payload.empty()) {
            continue;
        }
        Record record;
        // A converted file ends each payload line with CR LF, and playback reads it in binary
        // mode: the CR stays in the line and counts in its decoding.
        record.payloadLine.reserve(payload.size() + 1);
        record.payloadLine.assign(payload);
        record.payloadLine.push_back('\r');
        record.stamp = LogStampText(m_line);
        record.seconds = ParseLogStamp(m_line);
        m_ahead = std::move(record);
        return m_aheadResult;
    }
}

ReadLineResult CStampedLogReader::ReadRecord(std::string& payloadLine, std::string& stamp) {
    if (!m_bAheadRead) {
        ReadAhead();
    }
    m_bAheadRead = false;
    if (!m_ahead) {
        payloadLine.clear();
        stamp.clear();
        m_currentSeconds.reset();
        return m_aheadResult;
    }
    payloadLine = std::move(m_ahead->payloadLine);
    stamp = std::move(m_ahead->stamp);
    m_currentSeconds = m_ahead->seconds;
    m_ahead.reset();
    return ReadLineResult::Line;
}

std::optional<std::int64_t> CStampedLogReader::SecondsToNext() {
    if (!m_bAheadRead) {
        ReadAhead();
    }
    if (!m_ahead || !m_ahead->seconds || !m_currentSeconds) {
        return std::nullopt;
    }
    return *m_ahead->seconds - *m_currentSeconds;
}

FileError CStampedLogReader::Rewind() {
    m_ahead.reset();
    m_bAheadRead = false;
    m_currentSeconds.reset();
    return m_file.Rewind();
}

void CStampedLogReader::Close() {
    m_ahead.reset();
    m_bAheadRead = false;
    m_file.Close();
}
