#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>

#include "cli/CommandFlags.h"
#include "cli/CommandOutput.h"
#include "cli/CommandParser.h"
#include "engine/CaptureHost.h"
#include "engine/InputCapture.h"
#include "options/OptionStore.h"
#include "platform/Interrupt.h"

namespace {
constexpr char kCaptureUsage[] =
    "Usage: tillstream-cli capture [--port COMn] [--folder DIR] [--seconds S]\n";
constexpr char kCaptureDescription[] =
    "Records every byte that arrives on the input serial port, unchanged, into a new file in\n"
    "the capture folder named after the local start time (YYYYMMDDhhmmss.dat), and prints the\n"
    "file's path. The stored input port, line settings and capture folder apply; --port and\n"
    "--folder replace them for this run only (nothing is saved).\n";
constexpr char kCaptureNotes[] =
    "Exit codes: 0 stopped after --seconds, 1 the file or the port could not be opened or a\n"
    "write failed, 2 bad arguments; a stopped capture leaves its file complete: ";

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
    CCommandParser parser("capture", kCaptureUsage, kCaptureDescription,
                          ExitCodesNote(kCaptureNotes));
    CLI::App& app = parser.App();
    std::optional<int> port;
    std::optional<std::string> folder;
    std::optional<std::uint32_t> seconds;
    AddComPortFlag(app, "--port", port, "the serial port to record");
    app.add_option("--folder", folder,
                   "the folder for the capture file (at most 255 bytes; created if missing)")
        ->option_text("DIR")
        ->check([](const std::string& text) -> std::string {
            if (text.empty() || text.size() >= kCaptureFolderSize) {
                return "a folder of 1 to " + std::to_string(kCaptureFolderSize - 1) +
                       " bytes, please";
            }
            return {};
        });
    AddNumberFlag<std::uint32_t>(app, "--seconds", seconds, 1, 31u * 24 * 3600, "S",
                                 "stop after S seconds (otherwise at Ctrl-C)");
    if (const std::optional<int> exitCode = parser.Parse(args, out, err)) {
        return *exitCode;
    }
    OptionRecord options = MakeDefaultOptionRecord();
    LoadStoredOptions(options, "tillstream-cli capture");
    options.inputComPort = port.value_or(options.inputComPort);
    if (folder) {
        SetCaptureFolder(options, folder->c_str());
    }
    std::optional<std::chrono::steady_clock::time_point> limit;
    if (seconds) {
        limit = std::chrono::steady_clock::now() + std::chrono::seconds(*seconds);
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
