#pragma once
// Reads a stamped hex log for playback at the recorded pace: record by record, each as the
// payload line a converted file would hold for it, with its stamp; and one record ahead, so that
// the time from a record to the next one is known when the record is sent. Lines the conversion
// would not keep are passed over, as they never reach a converted file.
// One thread at a time (the playback thread). Failures are reported by results (FileError,
// ReadLineResult::Error), never by exceptions.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "datafile/LineReader.h"

class CStampedLogReader {
  public:
    // `bufferSize`: the line reader's buffer (see CLineReader).
    explicit CStampedLogReader(std::size_t bufferSize = CLineReader::kDefaultBufferSize)
        : m_file(LineMode::Text, bufferSize) {}
    CStampedLogReader(const CStampedLogReader&) = delete;
    CStampedLogReader& operator=(const CStampedLogReader&) = delete;

    // As CLineReader::OpenForPlayback: the file is in play until Close().
    FileError OpenForPlayback(const std::string& path);
    // As CLineReader::OpenShared.
    FileError OpenShared(std::shared_ptr<const CPlayFile> file);

    // The next record: `payloadLine` gets its payload as a converted file holds it when read in
    // binary mode (the payload text and a CR), ready for DecodePayloadLine; `stamp` its stamp's
    // text (19 characters).
    ReadLineResult ReadRecord(std::string& payloadLine, std::string& stamp);

    // Seconds from the stamp of the record last read to the stamp of the next one; empty at the
    // end of the log, when either stamp cannot be read, or when the next read fails (the next
    // ReadRecord then reports the failure).
    std::optional<std::int64_t> SecondsToNext();

    // Starts again at the first record.
    FileError Rewind();
    void Close();

  private:
    struct Record {
        std::string payloadLine;
        std::string stamp;
        std::optional<std::int64_t> seconds;
    };
    // Reads the next record into m_ahead (empty at the end of the file or on a failure).
    ReadLineResult ReadAhead();

    CLineReader m_file;
    std::optional<Record> m_ahead;  // the record after the current one, once it has been read
    bool m_bAheadRead = false;      // m_ahead holds the result of reading past the current one
    ReadLineResult m_aheadResult = ReadLineResult::Line;
    std::optional<std::int64_t> m_currentSeconds;
    std::string m_line;
};
