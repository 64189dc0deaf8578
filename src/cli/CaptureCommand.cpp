#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <ostream>

#include "cli/Commands.h"
#include "cli/FlagValues.h"
#include "engine/CaptureHost.h"
#include "engine/InputCapture.h"
#include "options/OptionStore.h"
#include "platform/Interrupt.h"

namespace {
constexpr char kCaptureHelp[] =
    "Usage: tillstream-cli capture [--port COMn] [--folder DIR] [--seconds S]\n"
    "Records every byte that arrives on the input serial port, unchanged, into a new file in\n"
    "the capture folder named after the local start time (YYYYMMDDhhmmss.dat), and prints the\n"
    "file's path. The stored input port, line settings and capture folder apply; --port and\n"
    "--folder replace them for this run only (nothing is saved).\n"
    "  --port COMn     the serial port to record\n"
    "  --folder DIR    the folder for the capture file (at most 255 bytes; created if missing)\n"
    "  --seconds S     stop after S seconds (otherwise at Ctrl-C)\n"
    "Exit codes: 0 stopped after --seconds, 1 the file or the port could not be opened or a\n"
    "write failed, 2 bad arguments, 130 stopped by Ctrl-C (the file is complete); 143 and 129\n"
    "for SIGTERM and SIGHUP.\n";

class CCliCaptureHost : public CCaptureHost {
  public:
    CCliCaptureHost(std::ostream& out, std::ostream& err) : m_out(out), m_err(err) {}

    void ShowMessage(const std::string& text, const std::string& /*caption*/) override {
        std::lock_guard lock(m_mutex);
        PrintCommandError(m_err, "capture", text);
    }

    void OnCaptureFailed(std::uint64_t /*runId*/) override {
        std::lock_guard lock(m_mutex);
        m_bFailed = true;
        m_cvChanged.notify_all();
    }

    void OnCaptureFileOpened(const std::string& path) override {
        std::lock_guard lock(m_mutex);
        m_out << path << std::endl;
    }

    void OnCaptureEnded(std::uint64_t /*runId*/) override {
        std::lock_guard lock(m_mutex);
        m_bEnded = true;
        m_cvChanged.notify_all();
    }

    // Wakes WaitForStopCause (Ctrl-C).
    void Interrupt() {
        std::lock_guard lock(m_mutex);
        m_bInterrupted = true;
        m_cvChanged.notify_all();
    }

    // Waits until the run failed or ended, Ctrl-C, or `limit` has passed (none: no limit).
    void WaitForStopCause(std::optional<std::chrono::steady_clock::time_point> limit) {
        std::unique_lock lock(m_mutex);
        const auto done = [this] { return m_bFailed || m_bEnded || m_bInterrupted; };
        if (limit) {
            m_cvChanged.wait_until(lock, *limit, done);
        } else {
            m_cvChanged.wait(lock, done);
        }
    }

    bool Failed() {
        std::lock_guard lock(m_mutex);
        return m_bFailed;
    }

  private:
    std::ostream& m_out;
    std::ostream& m_err;
    std::mutex m_mutex;
    std::condition_variable m_cvChanged;
    bool m_bFailed = false;
    bool m_bEnded = false;
    bool m_bInterrupted = false;
};
}  // namespace

int RunCaptureCommand(const CommandArgs& args, std::ostream& out, std::ostream& err) {
    const CArgParser parser({{"help", false}, {"port", true}, {"folder", true}, {"seconds", true}});
    CParsedArgs parsed;
    int exitCode = kExitOk;
    if (!ParseCommandArgs("capture", parser, args, kCaptureHelp, parsed, out, err, exitCode)) {
        return exitCode;
    }
    auto usage = [&err](const std::string& message) {
        PrintCommandError(err, "capture", message + " (see 'tillstream-cli capture --help')");
        return kExitUsage;
    };
    if (!parsed.Positionals().empty()) {
        return usage("unexpected argument '" + parsed.Positionals().front() + "'");
    }
    OptionRecord options = MakeDefaultOptionRecord();
    LoadStoredOptions(options, "tillstream-cli capture");
    if (const std::string* value = parsed.Value("port")) {
        int nPort = 0;
        if (!ParseComPortFlag(*value, nPort)) {
            return usage("bad value '" + *value + "' for --port (COMn)");
        }
        options.inputComPort = nPort;
    }
    if (const std::string* value = parsed.Value("folder")) {
        if (value->empty() || !SetCaptureFolder(options, value->c_str())) {
            return usage("bad value for --folder: a folder of 1 to " +
                         std::to_string(kCaptureFolderSize - 1) + " bytes, please");
        }
    }
    std::optional<std::chrono::steady_clock::time_point> limit;
    if (const std::string* value = parsed.Value("seconds")) {
        std::uint64_t seconds = 0;
        if (!ParseUnsignedFlag(*value, 1, 31u * 24 * 3600, seconds)) {
            return usage("bad value '" + *value + "' for --seconds (1 or more)");
        }
        limit = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    }

    CCliCaptureHost host(out, err);
    CInputCapture capture(host);
    SetInterruptCallback([&host] { host.Interrupt(); });
    if (capture.Start(options) == 0) {
        SetInterruptCallback(nullptr);
        PrintCommandError(err, "capture", "the capture thread could not be started");
        return kExitFailure;
    }
    host.WaitForStopCause(limit);
    SetInterruptCallback(nullptr);
    capture.RequestStop();
    capture.WaitUntilEnded(std::chrono::hours(1));
    ConfirmInterruptStop();
    if (host.Failed()) {
        return kExitFailure;
    }
    return IsInterruptRequested() ? InterruptedExitCode(kExitOk) : kExitOk;
}
