#include "engine/OutputPlayback.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "engine/LineNotices.h"
#include "engine/LineSource.h"
#include "engine/ListPaging.h"
#include "engine/PaceSchedule.h"
#include "engine/PlaybackHost.h"
#include "engine/ReplyMatcher.h"
#include "options/OptionRecord.h"
#include "platform/PauseTimer.h"
#include "platform/ThreadPriority.h"
#include "platform/Trace.h"
#include "platform/WakeEvent.h"
#include "transport/CommThread.h"
#include "transport/LineSink.h"
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

// Waits out the pause after each line as the shared pacing rule says (see CPaceSchedule).
//
// While it paces, the run's thread asks for a priority above ordinary threads where the system
// allows it, so that it still wakes on time when every processor is busy; with no delay it sends
// without pause and goes back to ordinary scheduling.
class CLinePacer {
  public:
    explicit CLinePacer(std::stop_token stop) : m_stop(std::move(stop)) {}

    // The line just sent went out at `sentAt`; waits until the next line is due (`delay` after
    // it) or until the run is asked to stop. A delay of 0 does not wait.
    void PauseAfterLine(Clock::duration delay, Clock::time_point sentAt) {
        if (delay <= Clock::duration::zero()) {
            m_schedule.Reset();  // the next delayed line starts a schedule of its own
            if (m_bRaised) {
                RestoreOrdinaryPriority();
                m_bRaised = false;
                m_bRaiseTried = false;
            }
            return;
        }
        if (!m_bRaiseTried) {
            m_bRaiseTried = true;
            m_bRaised = RaiseCadencePriority();
        }
        m_timer.WaitUntil(m_schedule.NextDue(delay, sentAt), m_stop);
        m_schedule.WaitEnded(Clock::now());
    }

  private:
    std::stop_token m_stop;
    CPauseTimer m_timer;
    CPaceSchedule m_schedule;
    bool m_bRaiseTried = false;  // asked once per stretch of paced lines
    bool m_bRaised = false;
};

// How the wait for a device's answer to a line ended.
enum class ReplyWait { kAnswered, kUnanswered, kStopped, kNotWaited };

// Hands the lines of a run to where they go: the front end's sink, or the interface of the
// options (the TCP connection, the UDP socket, the serial channel). A line goes out whole, in one
// piece, or when it is long in several pieces in order; with a delay between characters, a byte
// at a time. It also reads the device's answers when the run waits for them. Only the run's
// thread uses it.
class CRunOutput {
  public:
    CRunOutput(CLineSink* pSink, CSocketClient& socketClient, CUdpSender& udpSender,
               CCommThread& channel, const PlaybackRequest& request, std::stop_token stop)
        : m_pSink(pSink),
          m_socketClient(socketClient),
          m_udpSender(udpSender),
          m_channel(channel),
          m_stop(std::move(stop)),
          m_charDelay(request.charDelay),
          m_replyTimeout(request.replyTimeout),
          m_matcher(request.waitFor) {
        if (m_matcher.Enabled()) {
            // Without the event a wait still ends at its time-out or when the stop closes the
            // connection.
            m_cancel.Create();
        }
    }

    // The size of the pieces a long line is cut into: for UDP one whole datagram, so that each
    // piece but the last is exactly one.
    std::size_t PieceSize(const OptionRecord& options) const {
        return m_pSink == nullptr && options.outputInterface == kInterfaceUdpClient
                   ? CUdpSender::kMaxDatagram
                   : kLinePiece;
    }

    // A line begins, to go out by the interface of `options`.
    void BeginLine(const OptionRecord& options) {
        m_nInterface = options.outputInterface;
        m_dwAddress = options.remoteAddress;
        m_nPort = options.remotePort;
        m_bFirstPiece = true;
        m_bGoing = true;
        m_bDelivered = false;
    }

    // Sends the line's next piece, `bLast` its last. False once the line can no longer go out
    // whole (a failed send, no device, a stop during a long line): nothing more of it is sent.
    bool SendPiece(const char* pData, std::size_t nLength, bool bLast) {
        if (!m_bGoing) {
            return false;
        }
        // A stop ends a long line between two pieces; it counts as lost.
        if (!m_bFirstPiece && m_stop.stop_requested()) {
            m_bGoing = false;
            return false;
        }
        if (m_charDelay <= m_charDelay.zero() || nLength == 0) {
            const bool bWhole = m_bFirstPiece && bLast;
            m_bFirstPiece = false;
            return Transfer(pData, nLength, bWhole, bLast);
        }
        // A byte at a time, each the delay after the one before; a stop ends the wait at once and
        // the line is lost.
        for (std::size_t i = 0; i < nLength; ++i) {
            if (!m_bFirstPiece) {
                if (!m_byteTimer.WaitUntil(m_lastByteAt + m_charDelay, m_stop)) {
                    m_bGoing = false;
                    m_bDelivered = false;
                    return false;
                }
            }
            m_bFirstPiece = false;
            if (!Transfer(pData + i, 1, true, bLast && i + 1 == nLength)) {
                return false;
            }
            m_lastByteAt = Clock::now();
        }
        return true;
    }

    // Before a line goes out: what the device sent until now answers nothing.
    void ForgetReceived() {
        if (!m_matcher.Enabled() || m_pSink != nullptr) {
            return;
        }
        m_matcher.Reset();
        if (m_nInterface == kInterfaceTcpClient) {
            m_socketClient.m_client.DiscardIncoming();
        } else if (m_nInterface == kInterfaceRs232) {
            m_channel.DiscardReceived();
        }
    }

    // After a line that reached the device: waits until the device has answered it, at most the
    // reply time-out from `sentAt`; the time of the answer in `answeredAt`. Only a TCP connection
    // and a serial port are read; a broken connection ends the wait (and is opened again for the
    // next line).
    ReplyWait AwaitReply(Clock::time_point sentAt, Clock::time_point& answeredAt) {
        if (!m_matcher.Enabled() || m_pSink != nullptr ||
            (m_nInterface != kInterfaceTcpClient && m_nInterface != kInterfaceRs232)) {
            return ReplyWait::kNotWaited;
        }
        const Clock::time_point deadline = sentAt + m_replyTimeout;
        std::stop_callback onStop(m_stop, [this] { m_cancel.Set(); });
        std::string chunk;
        for (;;) {
            if (m_stop.stop_requested()) {
                return ReplyWait::kStopped;
            }
            const Clock::time_point now = Clock::now();
            if (now >= deadline) {
                return ReplyWait::kUnanswered;
            }
            if (m_nInterface == kInterfaceTcpClient) {
                const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
                const std::int64_t count = m_socketClient.m_client.Receive(
                    m_replyBuffer.data(), m_replyBuffer.size(), left, m_cancel);
                if (count < 0) {
                    if (m_stop.stop_requested()) {
                        return ReplyWait::kStopped;
                    }
                    m_socketClient.Close();  // the next line connects again
                    return ReplyWait::kUnanswered;
                }
                chunk.assign(m_replyBuffer.data(), static_cast<std::size_t>(count));
            } else if (!m_channel.WaitReceived(chunk, deadline, m_stop)) {
                continue;  // the stop or the time-out is seen at the top
            }
            if (m_matcher.Feed(chunk)) {
                answeredAt = Clock::now();
                return ReplyWait::kAnswered;
            }
        }
    }

  private:
    // Hands bytes of the line to the transport; `bWhole` when they are the whole line.
    bool Transfer(const char* pData, std::size_t nLength, bool bWhole, bool bLast) {
        bool bTaken = false;
        if (m_pSink != nullptr) {
            bTaken = m_pSink->SendPiece(pData, nLength, bLast);
        } else if (m_nInterface == kInterfaceTcpClient) {
            if (m_socketClient.m_client.Send(pData, nLength, 0) == -1) {
                // The line is lost; the next line connects again.
                m_socketClient.Close();
            } else {
                bTaken = true;
            }
        } else if (m_nInterface == kInterfaceUdpClient) {
            bTaken = m_udpSender.Send(m_dwAddress, m_nPort, pData, nLength) >= 0;
        } else if (m_nInterface == kInterfaceRs232) {
            // Every byte goes out, a NUL included, exactly as over TCP. A whole line is queued
            // without waiting, as the pace asks; the pieces of a long one wait for room, so the
            // queue never holds more than a few of them.
            if (bWhole) {
                m_channel.QueueSend(std::string_view(pData, nLength));
                bTaken = m_channel.HasChannelThread();
            } else {
                bTaken = m_channel.QueueSendWhenRoom(std::string_view(pData, nLength), m_stop);
            }
        }
        m_bGoing = bTaken;
        m_bDelivered = bTaken && bLast;
        return bTaken;
    }

  public:
    // Sends `nLength` bytes held in memory as the whole line: in one piece (the UDP socket cuts
    // it into datagrams itself), but to the serial channel in pieces when they are many, so that
    // its queue does not hold a second copy of a long record.
    void SendLine(const char* pData, std::size_t nLength) {
        const std::size_t nPiece =
            m_pSink == nullptr && m_nInterface == kInterfaceRs232 ? kLinePiece : nLength;
        std::size_t nAt = 0;
        do {
            const std::size_t nCount = std::min(nLength - nAt, std::max<std::size_t>(nPiece, 1));
            if (!SendPiece(pData + nAt, nCount, nAt + nCount == nLength)) {
                return;
            }
            nAt += nCount;
        } while (nAt < nLength);
    }

    // The line went out whole: the transport took every piece.
    bool Delivered() const { return m_bDelivered; }

  private:
    CLineSink* const m_pSink;
    CSocketClient& m_socketClient;
    CUdpSender& m_udpSender;
    CCommThread& m_channel;
    std::stop_token m_stop;
    const std::chrono::milliseconds m_charDelay;
    const std::chrono::milliseconds m_replyTimeout;
    CReplyMatcher m_matcher;
    CWakeEvent m_cancel;  // set by a stop: ends a wait for the device's answer
    CPauseTimer m_byteTimer;
    Clock::time_point m_lastByteAt{};
    std::array<char, 4096> m_replyBuffer{};
    std::int32_t m_nInterface = 0;
    std::uint32_t m_dwAddress = 0;
    std::int32_t m_nPort = 0;
    bool m_bFirstPiece = true;
    bool m_bGoing = true;
    bool m_bDelivered = false;
};

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
    if (CLineSink* pSink = m_pRunSink.load()) {
        pSink->Interrupt();
    }
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
    udpSender.SetMulticast(request.multicastTtl, request.multicastInterface);
    CLineSource source(request);
    CLineNotices notices(m_host);
    CLineSink* const pSink = request.pSink;
    CRunOutput output(pSink, m_socketClient, udpSender, channel, request, stop);
    m_pRunSink.store(pSink);
    Trace("[CTillstreamDlg::ThreadReadDataFromFile] Thread Start");

    try {
        if (request.path.empty()) {
            throw kErrorEmptyPath;
        }
        if (source.Open() != FileError::None) {
            throw kErrorOpenFile;
        }
        // One whole record at a time, so a dialog saved meanwhile never mixes two settings; it
        // is copied again only when the host says it changed, from the next line on. The count
        // is read first: a change that lands in between is then seen (once more) next time.
        std::uint64_t nOptionsChange = m_host.OptionsChangeCount();
        OptionRecord options = m_host.CurrentOptions();
        // The port is named once per run.
        const std::string strPortName = ComPortName(options.outputComPort);
        m_host.ShowRunStart();

        CLinePacer pacer(stop);
        // Room for a piece of the current line and the LF after the last one.
        source.ReservePiece(kLinePiece + 1);
        int i = 0;
        // The pause planned after the line before (zero: none) and when that line went out, for
        // the host's cadence figures.
        Clock::duration plannedGap{};
        Clock::time_point previousSentAt{};

        while (!stop.stop_requested()) {
            if (const std::uint64_t nChange = m_host.OptionsChangeCount();
                nChange != nOptionsChange) {
                nOptionsChange = nChange;
                options = m_host.CurrentOptions();
            }

            // Open the transport when it is down; a working one is not touched. Opening may take
            // a while (a connect, a box), so the host first learns where the run is.
            if (pSink != nullptr) {
                if (!pSink->IsReady()) {
                    notices.Flush();
                    pSink->WaitUntilReady(stop);  // a stop is seen just below
                }
            } else if (options.outputInterface == kInterfaceRs232) {
                if (!channel.IsOpen()) {
                    notices.Flush();
                    channel.SetLineSettings(options.outputBaudRate, options.outputParity,
                                            options.outputDataBits, options.outputStopBits);
                    // Read as well when the run waits for the device's answers.
                    channel.OpenPort(strPortName, request.waitFor.empty() ? COMM_MODE_WRITE
                                                                          : COMM_MODE_READ_WRITE);
                }
            } else if (options.outputInterface == kInterfaceTcpClient) {
                if (!m_socketClient.IsConnected()) {
                    notices.Flush();
                    // A failed connect is not looked at: the send below fails and closes.
                    if (m_socketClient.Connect(&m_host, options.remoteAddress, options.remotePort,
                                               stop) == 0 &&
                        request.charDelay > request.charDelay.zero()) {
                        m_socketClient.m_client.SendImmediately();
                    }
                }
            }

            // Opening may have kept the run for a while (a box the user had to dismiss, a
            // connect that got no answer): a stop given meanwhile is honoured before the line.
            if (stop.stop_requested()) {
                break;
            }

            const std::size_t nPiece = output.PieceSize(options);
            CLineSource::Result result = source.ReadLine(nPiece, stop);
            if (result == CLineSource::Result::EndOfFile) {
                if (options.loopEnabled == 0) {
                    // The run has played its last line: let the port finish sending it before
                    // the end of the run closes the port (a stop still cuts this short).
                    if (channel.IsOpen()) {
                        channel.WaitUntilSent(stop);
                    }
                    break;
                }
                if (source.Rewind() != FileError::None) {
                    throw FileReadFailure{};
                }
                if (i > 0) {
                    notices.Flush();
                    m_host.ShowRewind(i - 1);
                } else {
                    // A pass that played nothing (an empty file, a marker alone) has no pause
                    // to give the processor away: rewind again and again until the stop,
                    // without hogging it.
                    std::this_thread::yield();
                }
                i = 0;
                result = source.ReadLine(nPiece, stop);
                if (result == CLineSource::Result::EndOfFile) {
                    continue;
                }
            }
            if (result == CLineSource::Result::Stopped) {
                continue;  // the stop is seen at the top
            }
            if (result == CLineSource::Result::Error) {
                throw FileReadFailure{};
            }
            if (std::optional<std::string> cut = source.TakeCutNotice()) {
                m_host.ShowPayloadCut(*cut);
            }

            // Known before the send, so that a line with no pause after it is told as such.
            const Clock::duration gap =
                source.PauseAfterLine(std::chrono::milliseconds(options.delayMs));
            notices.BeforeSend(i, ProgressPercent(i, request.lineCount), gap == gap.zero(),
                               source.Stamp());

            output.BeginLine(options);
            output.ForgetReceived();
            if (source.LineEnded()) {
                output.SendLine(source.Data().data(), source.Data().size());
            } else {
                // A raw line longer than a piece: each piece goes out as it is read, the LF after
                // the last. Once the line cannot go out whole the rest is only read past, unless
                // the run is being stopped.
                bool bGoing = output.SendPiece(source.Data().data(), source.Data().size(), false);
                while (!source.LineEnded() && !stop.stop_requested()) {
                    if (source.ReadPiece(nPiece) == CLineSource::Result::Error) {
                        throw FileReadFailure{};
                    }
                    if (bGoing) {
                        bGoing = output.SendPiece(source.Data().data(), source.Data().size(),
                                                  source.LineEnded());
                    }
                }
            }
            const bool bDelivered = output.Delivered();
            const bool bPaced = gap != gap.zero() || plannedGap != plannedGap.zero();
            const Clock::time_point sentAt = bPaced ? Clock::now() : Clock::time_point{};
            notices.AfterSend(bDelivered);
            if (bDelivered) {
                // The pause runs meanwhile: the next line goes at the later of the answer and
                // the end of the pause.
                const Clock::time_point lineSentAt = bPaced ? sentAt : Clock::now();
                Clock::time_point answeredAt{};
                const ReplyWait reply = output.AwaitReply(lineSentAt, answeredAt);
                if (reply == ReplyWait::kAnswered || reply == ReplyWait::kUnanswered) {
                    m_host.OnLineAnswered(reply == ReplyWait::kAnswered,
                                          reply == ReplyWait::kAnswered ? answeredAt - lineSentAt
                                                                        : Clock::duration{});
                }
            }
            if (plannedGap != plannedGap.zero()) {
                m_host.OnLinePaced(sentAt - previousSentAt, plannedGap);
            }
            plannedGap = gap;
            previousSentAt = sentAt;

            ++i;
            pacer.PauseAfterLine(gap, sentAt);
            if (request.lineLimit != 0 && notices.Lines() >= request.lineLimit) {
                // The last line asked for has had its pause: end as at the end of the file.
                if (channel.IsOpen()) {
                    channel.WaitUntilSent(stop);
                }
                break;
            }
        }
    } catch (int nCode) {
        Trace("[CTillstreamDlg::ThreadReadDataFromFile] ERROR - %d", nCode);
    } catch (...) {
        Trace("[CTillstreamDlg::ThreadReadDataFromFile] ERROR - Exception");
    }

    // End of the run, whatever ended it.
    notices.Flush();
    source.Close();
    if (channel.IsOpen()) {
        channel.ClosePort();
    }
    m_socketClient.Close();
    udpSender.Close();
    if (pSink != nullptr) {
        pSink->EndRun();
        m_pRunSink.store(nullptr);
    }
    m_runs.MarkEnding(runId);
    m_host.OnRunEnded(runId);
    Trace("[CTillstreamDlg::ThreadReadDataFromFile] Thread Stop");
}
