#pragma once
// Reads a data file line by line through a large buffer (no system call per byte, lines of any
// length), each line whole or, for a line too long to hold at once, piece by piece. Two modes:
//   Binary: a line ends at LF; everything before the LF stays in the line, a CR included.
//   Text:   a line ends at LF or CR LF; the CR of a CR LF pair is removed.
// In both modes the line end itself is removed, the last line counts even without a line end, a
// file that ends with a line end has no empty line after it, and an empty file has no lines.
// A line is a byte string: a 0x00 byte is kept like any other byte and does not end the line
// (point-of-sale streams carry NUL bytes).
//
// Open() takes no lock, so files in play can still be shown and classified. OpenForPlayback()
// additionally takes the shared lock on the file and records it in CFilesInPlay until Close(), so
// that conversion and restore refuse to change a file while it is being played. OpenShared()
// reads a file that a CPlayFile holds open for playback, at this reader's own position, so that
// many readers of one file share one open file.
//
// One thread at a time may use a reader. Failures are reported by return values (FileError or
// ReadLineResult::Error with LastError()), never by exceptions.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "datafile/FilesInPlay.h"
#include "platform/FileHandle.h"

class CPlayFile;

enum class LineMode { Binary, Text };

enum class ReadLineResult {
    Line,       // `line` holds the next line
    EndOfFile,  // no more lines; `line` is empty
    Error,      // the file could not be read; LastError() says why
};

class CLineReader {
  public:
    static constexpr std::size_t kDefaultBufferSize = 256 * 1024;

    // `bufferSize` is the size of the read buffer (tests use small ones to exercise boundaries).
    explicit CLineReader(LineMode mode = LineMode::Binary,
                         std::size_t bufferSize = kDefaultBufferSize);
    ~CLineReader();
    CLineReader(const CLineReader&) = delete;
    CLineReader& operator=(const CLineReader&) = delete;

    // Opens `path` for reading, sharing it with everyone. A reader that was open is closed first.
    FileError Open(const std::string& path);
    // Opens `path` for playback: as Open(), then takes the shared lock without waiting (fails with
    // FileError::SharingViolation while a conversion or restore holds the file) and registers the
    // file in CFilesInPlay. On failure nothing stays open or registered.
    FileError OpenForPlayback(const std::string& path);
    // Reads `file` (open for playback, kept open by its owners) from its start. The file stays in
    // play as long as `file` lives; this reader holds it until Close().
    FileError OpenShared(std::shared_ptr<const CPlayFile> file);

    // Reads the next line into `line` (its previous content is replaced). After ReadLinePiece
    // left a line part-way, the rest of that line.
    ReadLineResult ReadLine(std::string& line);
    // Reads a line piece by piece, so that a line of any length costs no more memory than a
    // piece (binary mode only: Error with FileError::NotSupported in text mode). `piece` gets the
    // next at most `maxBytes` bytes of the current line (its previous content is replaced) and
    // `bLineEnd` says whether they end the line (its line end removed); the next call goes on
    // with the same line until one has ended it. EndOfFile only where a new line would begin.
    // A line of exactly `maxBytes` bytes may end with an empty last piece.
    ReadLineResult ReadLinePiece(std::string& piece, std::size_t maxBytes, bool& bLineEnd);
    // Starts again at the first line.
    FileError Rewind();
    // Closes the file, gives the lock back and ends its registration as in play.
    void Close();
    bool IsOpen() const { return m_file.IsOpen() || m_pShared != nullptr; }

    LineMode Mode() const { return m_mode; }
    // Takes effect from the next line on.
    void SetMode(LineMode mode) { m_mode = mode; }
    // The error of the last failed operation (FileError::None after a success).
    FileError LastError() const { return m_lastError; }

  private:
    FileError Fill();
    // The bytes of the buffer not yet taken, reading on when it has none: empty at the end of
    // the file, and after a failed read (m_lastError then says why).
    std::string_view Unread();

    LineMode m_mode;
    CFileHandle m_file;
    std::optional<CFileInPlayGuard> m_inPlay;
    std::shared_ptr<const CPlayFile> m_pShared;  // read at m_nSharedOffset instead of m_file
    std::uint64_t m_nSharedOffset = 0;
    std::vector<char> m_buffer;
    std::size_t m_nPos = 0;  // next unread byte in m_buffer
    std::size_t m_nEnd = 0;  // end of the valid bytes in m_buffer
    bool m_bEof = false;
    bool m_bInLine = false;  // ReadLinePiece has read part of a line, not its end
    FileError m_lastError = FileError::None;
};
