#include "engine/LineSource.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "datafile/DataFileKind.h"
#include "datafile/PlayFile.h"
#include "datafile/UtcTime.h"

CLineSource::CLineSource(const PlaybackRequest& request, std::size_t readBuffer)
    : m_request(request) {
    if (request.capture != nullptr) {
        m_capture.emplace();
    } else if (request.bRecordedPace) {
        m_log.emplace(readBuffer);
    } else {
        m_lines.emplace(LineMode::Binary, readBuffer);
    }
}

FileError CLineSource::Open() {
    m_nLineNumber = 0;
    if (m_capture) {
        m_capture->Play(m_request.capture);  // read whole before the run
        return FileError::None;
    }
    return m_log ? m_log->OpenForPlayback(m_request.path)
                 : m_lines->OpenForPlayback(m_request.path);
}

FileError CLineSource::OpenShared(std::shared_ptr<const CPlayFile> file) {
    if (m_capture) {
        return Open();
    }
    m_nLineNumber = 0;
    return m_log ? m_log->OpenShared(std::move(file)) : m_lines->OpenShared(std::move(file));
}

FileError CLineSource::Rewind() {
    m_nLineNumber = 0;
    m_bLineEnd = true;
    if (m_capture) {
        m_capture->Rewind();
        return FileError::None;
    }
    return m_log ? m_log->Rewind() : m_lines->Rewind();
}

void CLineSource::Close() {
    if (m_capture) {
        m_capture->Close();
    } else if (m_log) {
        m_log->Close();
    } else {
        m_lines->Close();
    }
}

ReadLineResult CLineSource::ReadFirstPiece(std::size_t nPiece) {
    ReadLineResult result;
    if (m_log) {
        m_bLineEnd = true;
        result = m_log->ReadRecord(m_piece, m_strStamp);
    } else {
        result = m_lines->ReadLinePiece(m_piece, nPiece, m_bLineEnd);
    }
    if (result == ReadLineResult::Line) {
        ++m_nLineNumber;
    }
    return result;
}

CLineSource::Result CLineSource::ReadRestOfLine(std::size_t nPiece, CPayloadDecoder* pDecoder,
                                                const std::stop_token& stop) {
    while (!m_bLineEnd) {
        // A long line is not read to its end for a run that is ending.
        if (stop.stop_requested()) {
            return Result::Stopped;
        }
        if (m_lines->ReadLinePiece(m_piece, nPiece, m_bLineEnd) == ReadLineResult::Error) {
            return Result::Error;
        }
        if (pDecoder != nullptr) {
            pDecoder->Feed(m_piece);
        }
    }
    return Result::Line;
}

CLineSource::Result CLineSource::ReadLine(std::size_t nPiece, const std::stop_token& stop) {
    m_data = {};
    if (m_capture) {
        // The record goes out as it was sent: one send, its bytes untouched.
        const FlowRecord* record = m_capture->Next();
        if (record == nullptr) {
            return Result::EndOfFile;
        }
        ++m_nLineNumber;
        m_bLineEnd = true;
        m_strStamp = FormatUtcMicroseconds(record->timeNs);
        m_data = record->bytes;
        return Result::Line;
    }
    for (;;) {
        const ReadLineResult result = ReadFirstPiece(nPiece);
        if (result == ReadLineResult::EndOfFile) {
            return Result::EndOfFile;
        }
        if (result == ReadLineResult::Error) {
            return Result::Error;
        }
        if (m_request.bRecordedPace) {
            // Every byte of the record, however many.
            m_record.clear();
            CPayloadDecoder(m_record).Feed(m_piece);
            m_data = m_record;
            return Result::Line;
        }
        if (!m_request.convertedFile) {
            if (m_bLineEnd) {
                m_piece.push_back('\n');
            }
            m_data = m_piece;
            return Result::Line;
        }
        if (std::string_view(m_piece).starts_with(kTillstreamDataMarker)) {
            // Not a line of the data list: no progress, no send, no pause.
            if (const Result rest = ReadRestOfLine(nPiece, nullptr, stop); rest != Result::Line) {
                return rest;
            }
            continue;
        }
        std::memset(m_buffer, 0, sizeof m_buffer);
        CPayloadDecoder decoder(m_buffer);
        decoder.Feed(m_piece);
        if (const Result rest = ReadRestOfLine(nPiece, &decoder, stop); rest != Result::Line) {
            return rest;
        }
        m_data = std::string_view(reinterpret_cast<const char*>(m_buffer), decoder.Stored());
        m_bLineEnd = true;
        if (decoder.Carried() > kPayloadBufferSize && !m_bCutTold) {
            m_bCutTold = true;
            m_cutNotice = "line " + std::to_string(m_nLineNumber) + ": " +
                          std::to_string(decoder.Carried()) + " bytes, only the first " +
                          std::to_string(kPayloadBufferSize) + " are sent";
        }
        return Result::Line;
    }
}

CLineSource::Result CLineSource::ReadPiece(std::size_t nPiece) {
    m_data = {};
    if (!m_lines || m_bLineEnd) {
        return Result::Error;
    }
    if (m_lines->ReadLinePiece(m_piece, nPiece, m_bLineEnd) == ReadLineResult::Error) {
        return Result::Error;
    }
    if (m_bLineEnd) {
        m_piece.push_back('\n');
    }
    m_data = m_piece;
    return Result::Line;
}

CLineSource::Clock::duration CLineSource::PauseAfterLine(std::chrono::milliseconds delay) {
    if (m_capture) {
        constexpr double kNanosecondsPerSecond = 1e9;
        return RecordedPause(
            static_cast<double>(m_capture->NanosecondsToNext().value_or(0)) / kNanosecondsPerSecond,
            m_request.speed, delay, m_request.maxGap);
    }
    if (!m_log) {
        return delay;
    }
    return RecordedPause(static_cast<double>(m_log->SecondsToNext().value_or(0)), m_request.speed,
                         delay, m_request.maxGap);
}

std::optional<std::string> CLineSource::TakeCutNotice() {
    return std::exchange(m_cutNotice, std::nullopt);
}

CLineSource::Clock::duration RecordedPause(double logSeconds, double speed,
                                           std::chrono::milliseconds delay,
                                           std::chrono::milliseconds maxGap) {
    using Seconds = std::chrono::duration<double>;
    constexpr double kLongest = Seconds(kLongestRecordedPause).count();
    double wanted = logSeconds > 0 && speed > 0 ? logSeconds / speed : 0.0;
    // Clamped while still a double: a quotient past the clock's range (or infinite) would
    // otherwise wrap round when it becomes a count of clock ticks.
    if (!(wanted < kLongest)) {
        wanted = kLongest;
    }
    CLineSource::Clock::duration pause = std::max<CLineSource::Clock::duration>(
        std::chrono::duration_cast<CLineSource::Clock::duration>(Seconds(wanted)), delay);
    if (maxGap.count() > 0) {
        pause = std::min<CLineSource::Clock::duration>(pause, maxGap);
    }
    return pause;
}
