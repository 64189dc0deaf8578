#pragma once
// The receive command's receiver: takes the bytes that arrive (a stream, or one datagram at a
// time), keeps them for --out, splits streams into lines at LF, prints every line as it comes
// (for a terminal, or as tab-separated fields; a line longer than kLinePieceBytes in pieces) and
// counts the run's figures. Used by one thread, the receiving one. A failed write of the --out
// file is reported once on standard error with its cause and remembered (WriteFailed): the
// caller then ends the run, since what arrives can no longer be kept. Nothing throws.
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "cli/ReceiveLog.h"
#include "platform/FileError.h"
#include "platform/FileHandle.h"

class CReceiver {
  public:
    CReceiver(std::ostream& out, std::ostream& err, bool bHex, bool bQuiet, bool bTerminal);

    // Creates (or empties) the --out file that every received byte is written to.
    FileError OpenOutFile(const std::string& path);
    // Closes the --out file, if any, and tells a failure (unless a write failure was told
    // already). False when the file is not complete.
    bool CloseOutFile();

    CReceiveStats& Stats() { return m_stats; }
    bool WriteFailed() const { return m_bWriteFailed; }

    // A new connection (or the start of a UDP or serial run): the lines after it carry its number.
    void StartConnection();

    // Stream bytes: kept for --out, split into lines.
    void FeedStream(const char* pData, std::size_t nLength);
    // The end of a stream: a line without its LF is still a line.
    void EndStream();
    // One datagram is one line.
    void FeedDatagram(const char* pData, std::size_t nLength);

  private:
    void Keep(const char* pData, std::size_t nLength);
    void Emit(LinePiece piece);

    std::ostream& m_out;
    std::ostream& m_err;
    bool m_bHex;
    bool m_bQuiet;
    bool m_bTerminal;
    std::int64_t m_nUtcOffset;
    bool m_bWriteFailed = false;
    std::uint64_t m_nConnection = 1;
    CLineSplitter m_splitter;
    std::vector<LinePiece> m_pieces;  // reused: one chunk's lines
    CReceiveStats m_stats;
    CFileHandle m_outFile;
    std::string m_outPath;
};
