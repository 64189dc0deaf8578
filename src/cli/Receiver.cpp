#include "cli/Receiver.h"

#include <chrono>
#include <ostream>
#include <string_view>
#include <utility>

#include "cli/CommandOutput.h"
#include "platform/LocalTime.h"

CReceiver::CReceiver(std::ostream& out, std::ostream& err, bool bHex, bool bQuiet, bool bTerminal)
    : m_out(out),
      m_err(err),
      m_bHex(bHex),
      m_bQuiet(bQuiet),
      m_bTerminal(bTerminal),
      m_nUtcOffset(LocalUtcOffsetSeconds()) {}

FileError CReceiver::OpenOutFile(const std::string& path) {
    m_outPath = path;
    return m_outFile.CreateForWrite(path);
}

bool CReceiver::CloseOutFile() {
    if (!m_outFile.IsOpen()) {
        return !m_bWriteFailed;
    }
    const FileError error = m_outFile.CloseChecked();
    if (error != FileError::None && !m_bWriteFailed) {
        m_bWriteFailed = true;
        PrintCommandError(
            m_err, "receive",
            "closing the --out file '" + m_outPath + "' failed: " + FileErrorText(error));
    }
    return !m_bWriteFailed;
}

void CReceiver::StartConnection() {
    m_stats.AddConnection();
    m_nConnection = m_stats.Connections();
}

void CReceiver::FeedStream(const char* pData, std::size_t nLength) {
    Keep(pData, nLength);
    m_pieces.clear();
    m_splitter.Feed(std::string_view(pData, nLength), m_pieces);
    for (LinePiece& piece : m_pieces) {
        Emit(std::move(piece));
    }
    m_out.flush();
}

void CReceiver::EndStream() {
    std::string rest;
    if (m_splitter.TakeRest(rest)) {
        Emit({std::move(rest), false});
        m_out.flush();
    }
}

void CReceiver::FeedDatagram(const char* pData, std::size_t nLength) {
    Keep(pData, nLength);
    // A datagram holds at most 65507 bytes (IPv4), less than a piece: it is always one line.
    Emit({std::string(pData, nLength), false});
    m_out.flush();
}

void CReceiver::Keep(const char* pData, std::size_t nLength) {
    if (!m_outFile.IsOpen() || nLength == 0 || m_bWriteFailed) {
        return;
    }
    if (const FileError error = m_outFile.WriteAll(pData, nLength); error != FileError::None) {
        // Told once: the caller ends the run, since nothing more could be kept.
        m_bWriteFailed = true;
        PrintCommandError(m_err, "receive",
                          "cannot write the --out file '" + m_outPath +
                              "': " + FileErrorText(error) + "; receiving stops");
    }
}

void CReceiver::Emit(LinePiece piece) {
    const double steadyMs = std::chrono::duration<double, std::milli>(
                                std::chrono::steady_clock::now().time_since_epoch())
                                .count();
    ReceivedLine line;
    if (piece.bContinues) {
        // Its pieces share the line's number; the line counts once, when its end comes.
        line.intervalMs = m_stats.AddPiece(steadyMs, piece.bytes.size());
        line.index = m_stats.Lines() + 1;
    } else {
        line.intervalMs = m_stats.AddLine(steadyMs, piece.bytes.size());
        line.index = m_stats.Lines();
    }
    line.connection = m_nConnection;
    line.epochMicros = std::chrono::duration_cast<std::chrono::microseconds>(
                           std::chrono::system_clock::now().time_since_epoch())
                           .count();
    line.bytes = std::move(piece.bytes);
    line.bContinues = piece.bContinues;
    if (m_bQuiet) {
        return;
    }
    m_out << (m_bTerminal ? FormatLineForTerminal(line, m_bHex, m_nUtcOffset)
                          : FormatLineTabSeparated(line, m_bHex))
          << '\n';
}
