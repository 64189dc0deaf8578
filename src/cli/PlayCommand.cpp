#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/CommandFlags.h"
#include "cli/CommandParser.h"
#include "cli/Commands.h"
#include "cli/PlayProgress.h"
#include "cli/SerialCheck.h"
#include "datafile/DataFileKind.h"
#include "datafile/LineIndex.h"
#include "engine/OutputPlayback.h"
#include "engine/PlaybackHost.h"
#include "options/OptionFields.h"
#include "options/OptionStore.h"
#include "platform/Interrupt.h"
#include "platform/ReceiveSocket.h"
#include "platform/SerialPort.h"
#include "platform/Terminal.h"
#include "transport/SerialVocabulary.h"
#include "transport/SocketClient.h"

namespace {
constexpr char kPlayUsage[] =
    "Usage: tillstream-cli play FILE [--tcp HOST:PORT | --udp HOST:PORT | --serial COMn]\n"
    "                                [--delay MS] [--loop] [--count N] [--baud N]\n"
    "                                [--parity NONE|ODD|EVEN|MARK|SPACE] [--data-bits N]\n"
    "                                [--stop-bits 1|1.5|2] [--quiet]\n";
constexpr char kPlayDescription[] =
    "Plays FILE as the window does: one line at a time with the delay after every line. A\n"
    "converted data file (first line [TILLSTREAM_DATA]) sends the bytes of each payload line;\n"
    "any other file sends each line followed by LF. The stored options apply; the flags\n"
    "replace them for this run only (nothing is saved).\n";
constexpr char kPlayNotes[] =
    "Progress goes to standard error: live on a terminal, else one summary line at the end.\n"
    "Exit codes: 0 end of file or --count reached, 1 FILE unreadable, the address or port\n"
    "cannot be used, or not one line reached the device, 2 bad arguments, 130 stopped by\n"
    "Ctrl-C (the run ends cleanly), 143 by SIGTERM, 129 by SIGHUP.\n";

// The command line's side of a run: fixed options, progress on standard error, the counts of
// lines sent and lost, and the notice that the run has ended.
class CCliPlaybackHost : public CPlaybackHost {
  public:
    CCliPlaybackHost(const OptionRecord& options, CPlayProgress& progress, std::ostream& err)
        : m_options(options), m_progress(progress), m_err(err) {}

    OptionRecord CurrentOptions() override { return m_options; }
    std::uint64_t OptionsChangeCount() override { return 0; }  // fixed for the whole run
    // The live line is redrawn a few times a second at most; the last line and the totals
    // come in any case.
    std::chrono::milliseconds LineNoticeInterval() override {
        return std::chrono::milliseconds(50);
    }

    void ShowRunStart() override {}

    void ShowCurrentLine(int index, int percent) override {
        std::lock_guard lock(m_mutex);
        m_nIndex = index;
        m_nPercent = percent;
    }

    void OnLinesSent(std::uint64_t nLines, std::uint64_t nLost) override {
        std::lock_guard lock(m_mutex);
        m_nLinesSent = nLines;
        m_nLinesLost = nLost;
        m_progress.OnLine(m_nIndex, m_nPercent, nLines);
    }

    void ShowRewind(int /*lastIndex*/) override {
        std::lock_guard lock(m_mutex);
        m_progress.OnRewind();
    }

    void OnRunEnded(std::uint64_t /*runId*/) override {
        std::lock_guard lock(m_mutex);
        m_bEnded = true;
        m_cvEnded.notify_all();
    }

    void ShowMessage(const std::string& text, const std::string& /*caption*/) override {
        std::lock_guard lock(m_mutex);
        m_progress.ClearLine();
        PrintCommandError(m_err, "play", text);
    }

    void WaitForEnd() {
        std::unique_lock lock(m_mutex);
        m_cvEnded.wait(lock, [this] { return m_bEnded; });
    }

    std::uint64_t LinesSent() {
        std::lock_guard lock(m_mutex);
        return m_nLinesSent;
    }
    std::uint64_t LinesLost() {
        std::lock_guard lock(m_mutex);
        return m_nLinesLost;
    }

  private:
    const OptionRecord m_options;
    CPlayProgress& m_progress;
    std::ostream& m_err;
    std::mutex m_mutex;
    std::condition_variable m_cvEnded;
    int m_nIndex = 0;
    int m_nPercent = 0;
    std::uint64_t m_nLinesSent = 0;
    std::uint64_t m_nLinesLost = 0;
    bool m_bEnded = false;
};
}  // namespace

int RunPlayCommand(const CommandArgs& args, std::ostream& out, std::ostream& err) {
    CCommandParser parser("play", kPlayUsage, kPlayDescription, kPlayNotes);
    CLI::App& app = parser.App();
    std::vector<std::string> files;
    std::optional<Endpoint> tcp;
    std::optional<Endpoint> udp;
    std::optional<int> serialPort;
    LineSettingFlags lineSettings;
    std::optional<std::uint32_t> delay;
    std::optional<std::uint64_t> count;
    bool bLoop = false;
    bool bQuiet = false;
    app.add_option("FILE", files)->group("");
    AddEndpointFlag(app, "--tcp", tcp, false, false, "HOST:PORT",
                    "send over a TCP connection to HOST (IPv4 address or name)");
    AddEndpointFlag(app, "--udp", udp, false, false, "HOST:PORT",
                    "send each line as a UDP datagram");
    AddComPortFlag(app, "--serial", serialPort,
                   "send out of serial port n (the stored output line settings, or those\n"
                   "of --baud, --parity, --data-bits, --stop-bits)");
    AddNumberFlag<std::uint32_t>(app, "--delay", delay, 0, UINT32_MAX, "MS",
                                 "pause after every line (stored delayMs otherwise)");
    app.add_flag("--loop", bLoop, "start again at the first line after the last one")
        ->disable_flag_override();
    AddNumberFlag<std::uint64_t>(app, "--count", count, 1, UINT64_MAX / 2, "N",
                                 "stop after N lines sent, counted across loops");
    AddLineSettingFlags(app, lineSettings);
    app.add_flag("--quiet", bQuiet, "no progress and no summary")->disable_flag_override();
    if (const std::optional<int> exitCode = parser.Parse(args, out, err)) {
        return *exitCode;
    }
    auto failure = [&err](const std::string& message) {
        PrintCommandError(err, "play", message);
        return kExitFailure;
    };
    if (files.size() != 1) {
        return parser.Refuse(err, files.empty() ? "FILE is missing" : "only one FILE, please");
    }
    const std::string path = files.front();
    if (static_cast<int>(tcp.has_value()) + static_cast<int>(udp.has_value()) +
            static_cast<int>(serialPort.has_value()) >
        1) {
        return parser.Refuse(err, "give at most one of --tcp, --udp or --serial");
    }

    // The stored record with the flags applied, for this run only.
    OptionRecord options = MakeDefaultOptionRecord();
    LoadStoredOptions(options, "tillstream-cli play");
    std::string host;
    if (const std::optional<Endpoint>& endpoint = tcp ? tcp : udp) {
        host = endpoint->host;
        options.outputInterface = tcp ? kInterfaceTcpClient : kInterfaceUdpClient;
        options.remotePort = endpoint->port;
    }
    if (serialPort) {
        options.outputInterface = kInterfaceRs232;
        options.outputComPort = *serialPort;
    }
    options.delayMs = delay.value_or(options.delayMs);
    if (bLoop) {
        options.loopEnabled = 1;
    }
    const std::uint64_t nCount = count.value_or(0);
    lineSettings.ApplyTo(options.outputBaudRate, options.outputParity, options.outputDataBits,
                         options.outputStopBits);

    // Refusals that need the world: all of them before anything is sent.
    if (!CheckRegularDataFile(err, "play", path)) {
        return kExitFailure;
    }
    const int kind = IsTillstreamDataFile(path);
    if (kind == kDataFileUnreadable) {
        return failure("cannot read '" + path + "'");
    }
    CLineIndex index;
    if (index.Build(path) != 0) {
        return failure("cannot read '" + path + "'");
    }
    PlaybackRequest request;
    request.path = path;
    request.convertedFile = kind == kDataFileConverted;
    request.lineCount = static_cast<std::int32_t>(index.Count());
    index.Clear();

    if (options.outputInterface == kInterfaceTcpClient ||
        options.outputInterface == kInterfaceUdpClient) {
        if (!host.empty()) {
            std::string error;
            std::uint32_t dwAddr = 0;
            if (!ResolveIPv4Host(host, dwAddr, error)) {
                return failure("cannot resolve '" + host + "': " + error);
            }
            options.remoteAddress = dwAddr;
        }
        if (options.remoteAddress == 0 || options.remotePort < 1 || options.remotePort > 65535) {
            return failure("no usable receiving device address (remoteAddress " +
                           OptionFieldText(options, &OptionRecord::remoteAddress) +
                           ", remotePort " + OptionFieldText(options, &OptionRecord::remotePort) +
                           "); give --tcp HOST:PORT or --udp HOST:PORT");
        }
    } else if (options.outputInterface == kInterfaceRs232) {
        CSerialPort probe;
        std::string message;
        const SerialLineSettings settings{options.outputBaudRate,
                                          static_cast<std::uint8_t>(options.outputDataBits),
                                          static_cast<std::uint8_t>(options.outputParity),
                                          static_cast<std::uint8_t>(options.outputStopBits)};
        if (!OpenSerialForCli(probe, options.outputComPort, settings, message)) {
            return failure(message);
        }
    } else {
        return failure("the stored outputInterface " + std::to_string(options.outputInterface) +
                       " is not 0 (TCP), 1 (UDP) or 2 (RS-232); give --tcp, --udp or --serial");
    }

    CPlayProgress progress(err, request.lineCount, nCount, options.loopEnabled != 0,
                           bQuiet                               ? CPlayProgress::Mode::kSilent
                           : IsTerminal(StandardStream::kError) ? CPlayProgress::Mode::kLive
                                                                : CPlayProgress::Mode::kSummary);
    request.lineLimit = nCount;
    CCliPlaybackHost host2(options, progress, err);
    CSocketClient socketClient;
    COutputPlayback playback(host2, socketClient);
    // A stop asked for while the file was being checked: nothing has been sent, nothing starts.
    if (IsInterruptRequested()) {
        return InterruptedExitCode(kExitOk);
    }
    if (playback.Start(request) == 0) {
        return failure("the playback thread could not be started");
    }
    // Set after the start, so that a request raised meanwhile stops the run that has started
    // (the callback then runs at once).
    SetInterruptCallback([&playback] { playback.RequestStop(); });
    host2.WaitForEnd();
    ConfirmInterruptStop();
    playback.WaitUntilEnded(std::chrono::hours(1));
    SetInterruptCallback(nullptr);
    const std::uint64_t nSent = host2.LinesSent();
    const std::uint64_t nLost = host2.LinesLost();
    progress.Finish(nSent, nLost);
    if (IsInterruptRequested()) {
        return InterruptedExitCode(kExitOk);
    }
    // A run in which not one line reached the device did not do its job, whatever it walked.
    if (nSent > 0 && nLost == nSent) {
        PrintCommandError(err, "play",
                          "no line reached the receiving device (nothing accepted "
                          "the connection, or every send failed)");
        return kExitFailure;
    }
    return kExitOk;
}
