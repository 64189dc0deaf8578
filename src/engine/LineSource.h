#pragma once
// The lines of a run as they go out, for every driver of a run (the run thread of the window and
// of `play`, and a rig's lanes): the data file read in binary mode, a converted file's marker
// passed over and each of its payload lines decoded (at most its first 512 bytes), a raw line
// with the LF it goes out with, read piece by piece when it is long, or at the recorded pace each
// record of a stamped hex log decoded whole, or each record of a capture's flow as it was sent;
// and the pause that follows each line.
// One thread at a time (the driver's). Failures are results (FileError, Result::Error), never
// exceptions.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

#include "datafile/CaptureFlowReader.h"
#include "datafile/LineReader.h"
#include "datafile/PayloadDecoder.h"
#include "datafile/StampedLogReader.h"
#include "engine/PlaybackRequest.h"

class CPlayFile;

class CLineSource {
  public:
    using Clock = std::chrono::steady_clock;
    enum class Result {
        Line,       // Data() holds the line, or its first piece
        EndOfFile,  // no more lines in this pass
        Error,      // the file could not be read
        Stopped,    // the stop came while a long converted line was being read
    };

    // Plays `request.path` as the request says (converted, recorded pace). `readBuffer`: the
    // size of the file reader's buffer; a rig's many lanes use small ones.
    explicit CLineSource(const PlaybackRequest& request,
                         std::size_t readBuffer = CLineReader::kDefaultBufferSize);
    CLineSource(const CLineSource&) = delete;
    CLineSource& operator=(const CLineSource&) = delete;

    // Opens the request's file for playback (see CLineReader::OpenForPlayback).
    FileError Open();
    // Reads a file held open for playback by `file`, shared with other sources.
    FileError OpenShared(std::shared_ptr<const CPlayFile> file);
    FileError Rewind();
    void Close();

    // The next line of the data list. Data() then holds a converted line's decoded bytes, a
    // record's decoded bytes (all of them), or a raw line's first piece of at most `nPiece`
    // bytes, followed by its LF when the piece ends the line (LineEnded()). `stop` cuts the
    // reading of a long converted line short.
    Result ReadLine(std::size_t nPiece, const std::stop_token& stop = {});
    // The next piece of a raw line that has not LineEnded(), its LF after the last.
    Result ReadPiece(std::size_t nPiece);
    std::string_view Data() const { return m_data; }
    bool LineEnded() const { return m_bLineEnd; }

    // The pause after the line just read: `delay`, or at the recorded pace the time to the next
    // record over the speed (RecordedPause), `delay` the shortest.
    Clock::duration PauseAfterLine(std::chrono::milliseconds delay);
    // The stamp of the record last read ("YYYY-MM-DD HH:MM:SS", a capture's with ".uuuuuu" in
    // UTC); nullptr when the file is not played at its pace.
    const std::string* Stamp() const { return m_request.bRecordedPace ? &m_strStamp : nullptr; }
    // The number of the line last begun, from 1 at the top of the file (of a converted file, the
    // marker line is line 1).
    std::uint64_t LineNumber() const { return m_nLineNumber; }
    // Once per source, after the first converted line that carries more than a line may send:
    // "line 7: 600 bytes, only the first 512 are sent". Empty otherwise.
    std::optional<std::string> TakeCutNotice();
    // Room for a piece of `bytes`, so that long lines do not grow the piece as they come.
    void ReservePiece(std::size_t bytes) { m_piece.reserve(bytes); }

  private:
    ReadLineResult ReadFirstPiece(std::size_t nPiece);
    // Reads the rest of the current line, feeding each piece to `pDecoder` when given: Line once
    // it has ended, Stopped when `stop` came first, Error when the file could not be read.
    Result ReadRestOfLine(std::size_t nPiece, CPayloadDecoder* pDecoder,
                          const std::stop_token& stop);

    const PlaybackRequest m_request;
    std::optional<CLineReader> m_lines;           // raw and converted files
    std::optional<CStampedLogReader> m_log;       // at the recorded pace
    std::optional<CCaptureFlowReader> m_capture;  // a capture's flow at its recorded pace
    std::string m_piece;                          // a piece of a raw line, as read
    std::string m_record;                         // the decoded bytes of a record
    unsigned char m_buffer[kPayloadBufferSize];
    std::string_view m_data;
    bool m_bLineEnd = true;
    std::string m_strStamp;
    std::uint64_t m_nLineNumber = 0;
    bool m_bCutTold = false;
    std::optional<std::string> m_cutNotice;
};
