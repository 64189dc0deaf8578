#include "engine/OutputPlayback.h"

#include <chrono>
#include <cstring>
#include <string_view>
#include <thread>

#include "datafile/DataFileKind.h"
#include "datafile/LineReader.h"
#include "datafile/PayloadDecoder.h"
#include "engine/ListPaging.h"
#include "engine/PlaybackHost.h"
#include "options/OptionRecord.h"
#include "platform/PauseTimer.h"
#include "platform/Trace.h"
#include "transport/CommThread.h"
#include "transport/SerialVocabulary.h"
#include "transport/SocketClient.h"
#include "transport/UdpSender.h"

namespace {

using Clock = std::chrono::steady_clock;

// Run failures with a code of their own; anything else thrown inside a run is "Exception".
constexpr int kErrorEmptyPath = -1;
constexpr int kErrorOpenFile = -2;

// A read error of the data file: not a coded failure, it ends the run as an exception.
struct FileReadFailure {};

// Keeps the lines on a fixed schedule: line k starts delayMs after line k-1 started, so the time
// spent sending does not add up over a long file. A line that could not start on time (its
// predecessor's send took longer than the delay) starts the schedule afresh from itself, so a slow
// receiver never causes a burst of lines sent back to back to catch up.
class CLinePacer {
  public:
    explicit CLinePacer(std::stop_token stop) : m_stop(std::move(stop)) {}

    void MarkFirstLine() { m_lineStart = Clock::now(); }

    // Waits until the next line is due, or until the run is asked to stop.
    void WaitForNextLine(std::uint32_t delayMs) {
        if (delayMs == 0) {
            // Give the other threads (the window, the transports) a turn on every line.
            std::this_thread::yield();
            m_lineStart = Clock::now();
            return;
        }
        const Clock::time_point due = m_lineStart + std::chrono::milliseconds(delayMs);
        if (Clock::now() >= due) {
            m_lineStart = Clock::now();
            return;
        }
        m_timer.WaitUntil(due, m_stop);
        m_lineStart = due;
    }

  private:
    std::stop_token m_stop;
    CPauseTimer m_timer;
    Clock::time_point m_lineStart{};
};

bool StartsWithMarker(const std::string& line) {
    return std::string_view(line).starts_with(kTillstreamDataMarker);
}

}  // namespace

COutputPlayback::COutputPlayback(CPlaybackHost& host, CSocketClient& socketClient)
    : m_host(host), m_socketClient(socketClient) {}

COutputPlayback::~COutputPlayback() {
    RequestStop();
    // m_runs is destroyed first of the members and joins the run there.
}

std::uint64_t COutputPlayback::Start(const PlaybackRequest& request) {
    if (request.path.empty()) {
        return 0;
    }
    return m_runs.Start([this, request](std::uint64_t runId, std::stop_token stop) {
        ThreadReadDataFromFile(runId, request, std::move(stop));
    });
}

void COutputPlayback::RequestStop() {
    m_runs.RequestStop();
    // A send to a receiver that has stopped reading could block for as long as it likes;
    // closing the connection ends it at once (the line is lost, the run sees its stop next).
    m_socketClient.Close();
}

bool COutputPlayback::WaitUntilEnded(std::chrono::milliseconds timeout) {
    return m_runs.WaitUntilEnded(timeout);
}

bool COutputPlayback::IsRunning() const {
    return m_runs.IsRunning();
}

std::uint64_t COutputPlayback::CurrentRunId() const {
    return m_runs.CurrentRunId();
}

void COutputPlayback::ThreadReadDataFromFile(std::uint64_t runId, const PlaybackRequest& request,
                                             std::stop_token stop) {
    CCommThread channel(&m_host);
    CUdpSender udpSender;
    CLineReader file(LineMode::Binary);
    Trace("[CTillstreamDlg::ThreadReadDataFromFile] Thread Start");

    try {
        if (request.path.empty()) {
            throw kErrorEmptyPath;
        }
        if (file.OpenForPlayback(request.path) != FileError::None) {
            throw kErrorOpenFile;
        }
        // The port is named once per run; the other options are read afresh at every line.
        const std::string strPortName = ComPortName(m_host.CurrentOptions().outputComPort);
        m_host.ShowRunStart();

        CLinePacer pacer(stop);
        pacer.MarkFirstLine();
        std::string line;
        unsigned char buffer[kPayloadBufferSize];
        int i = 0;

        while (!stop.stop_requested()) {
            // One whole record per line, so a dialog saved meanwhile never mixes two settings.
            const OptionRecord options = m_host.CurrentOptions();

            // Open the transport when it is down; a working one is not touched.
            if (options.outputInterface == kInterfaceRs232) {
                if (!channel.IsOpen()) {
                    channel.SetLineSettings(options.outputBaudRate, options.outputParity,
                                            options.outputDataBits, options.outputStopBits);
                    channel.OpenPort(strPortName, COMM_MODE_WRITE);
                }
            } else if (options.outputInterface == kInterfaceTcpClient) {
                if (!m_socketClient.IsConnected()) {
                    // A failed connect is not looked at: the send below fails and closes.
                    m_socketClient.Connect(&m_host, options.remoteAddress, options.remotePort,
                                           stop);
                }
            }

            // Opening may have kept the run for a while (a box the user had to dismiss, a
            // connect that got no answer): a stop given meanwhile is honoured before the line.
            if (stop.stop_requested()) {
                break;
            }

            ReadLineResult result = file.ReadLine(line);
            if (result == ReadLineResult::EndOfFile) {
                if (options.loopEnabled == 0) {
                    // The run has played its last line: let the port finish sending it before
                    // the end of the run closes the port (a stop still cuts this short).
                    if (channel.IsOpen()) {
                        channel.WaitUntilSent(stop);
                    }
                    break;
                }
                if (file.Rewind() != FileError::None) {
                    throw FileReadFailure{};
                }
                if (i > 0) {
                    m_host.ShowRewind(i - 1);
                } else {
                    // A pass that played nothing (an empty file, a marker alone) has no pause
                    // to give the processor away: rewind again and again until the stop,
                    // without hogging it.
                    std::this_thread::yield();
                }
                i = 0;
                result = file.ReadLine(line);
                if (result == ReadLineResult::EndOfFile) {
                    continue;
                }
            }
            if (result == ReadLineResult::Error) {
                throw FileReadFailure{};
            }

            const char* pData = nullptr;
            std::size_t nLength = 0;
            if (request.convertedFile) {
                if (StartsWithMarker(line)) {
                    // Not a line of the data list: no progress, no send, no pause.
                    continue;
                }
                std::memset(buffer, 0, sizeof buffer);
                nLength = DecodePayloadLine(line, buffer);
                pData = reinterpret_cast<const char*>(buffer);
            } else {
                line.push_back('\n');
                pData = line.data();
                nLength = line.size();
            }

            m_host.ShowCurrentLine(i, ProgressPercent(i, request.lineCount));

            bool bDelivered = false;
            if (options.outputInterface == kInterfaceTcpClient) {
                if (m_socketClient.m_client.Send(pData, static_cast<int>(nLength), 0) == -1) {
                    // The line is lost; the next line connects again.
                    m_socketClient.Close();
                } else {
                    bDelivered = true;
                }
            } else if (options.outputInterface == kInterfaceUdpClient) {
                bDelivered = udpSender.Send(options.remoteAddress, options.remotePort, pData,
                                            static_cast<int>(nLength)) >= 0;
            } else if (options.outputInterface == kInterfaceRs232) {
                // Every decoded byte goes out, a NUL included, exactly as over TCP.
                channel.QueueSend(std::string_view(pData, nLength));
                bDelivered = channel.HasChannelThread();
            }
            m_host.OnLineSent(i, bDelivered);

            ++i;
            pacer.WaitForNextLine(options.delayMs);
        }
    } catch (int nCode) {
        Trace("[CTillstreamDlg::ThreadReadDataFromFile] ERROR - %d", nCode);
    } catch (...) {
        Trace("[CTillstreamDlg::ThreadReadDataFromFile] ERROR - Exception");
    }

    // End of the run, whatever ended it.
    file.Close();
    if (channel.IsOpen()) {
        channel.ClosePort();
    }
    m_socketClient.Close();
    udpSender.Close();
    m_runs.MarkEnding(runId);
    m_host.OnRunEnded(runId);
    Trace("[CTillstreamDlg::ThreadReadDataFromFile] Thread Stop");
}
