#include "cli/Receiver.h"

#include <chrono>
#include <ostream>
#include <string_view>
#include <vector>

#include "cli/Commands.h"
#include "platform/LocalTime.h"

CReceiver::CReceiver(std::ostream& out, std::ostream& err, bool bHex, bool bQuiet, bool bTerminal)
    : m_out(out),
      m_err(err),
      m_bHex(bHex),
      m_bQuiet(bQuiet),
      m_bTerminal(bTerminal),
      m_nUtcOffset(LocalUtcOffsetSeconds()) {}

void CReceiver::StartConnection() {
    m_stats.AddConnection();
    m_nConnection = m_stats.Connections();
}

void CReceiver::FeedStream(const char* pData, std::size_t nLength) {
    Keep(pData, nLength);
    std::vector<std::string> lines;
    m_splitter.Feed(std::string_view(pData, nLength), lines);
    for (std::string& line : lines) {
        Emit(std::move(line));
    }
    m_out.flush();
}

void CReceiver::EndStream() {
    std::string rest;
    if (m_splitter.TakeRest(rest)) {
        Emit(std::move(rest));
        m_out.flush();
    }
}

void CReceiver::FeedDatagram(const char* pData, std::size_t nLength) {
    Keep(pData, nLength);
    Emit(std::string(pData, nLength));
    m_out.flush();
}

void CReceiver::Keep(const char* pData, std::size_t nLength) {
    if (m_outFile.IsOpen() && nLength > 0 && !m_bWriteFailed &&
        m_outFile.WriteAll(pData, nLength) != FileError::None) {
        m_bWriteFailed = true;
        PrintCommandError(m_err, "receive", "writing the --out file failed");
    }
}

void CReceiver::Emit(std::string bytes) {
    const double steadyMs = std::chrono::duration<double, std::milli>(
                                std::chrono::steady_clock::now().time_since_epoch())
                                .count();
    ReceivedLine line;
    line.intervalMs = m_stats.AddLine(steadyMs, bytes.size());
    line.index = m_stats.Lines();
    line.connection = m_nConnection;
    line.epochMicros = std::chrono::duration_cast<std::chrono::microseconds>(
                           std::chrono::system_clock::now().time_since_epoch())
                           .count();
    line.bytes = std::move(bytes);
    if (m_bQuiet) {
        return;
    }
    m_out << (m_bTerminal ? FormatLineForTerminal(line, m_bHex, m_nUtcOffset)
                          : FormatLineTabSeparated(line, m_bHex))
          << '\n';
}
