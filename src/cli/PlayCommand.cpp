#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>

#include "cli/CliPlaybackHost.h"
#include "cli/CommandOutput.h"
#include "cli/CommandParser.h"
#include "cli/PlayFlags.h"
#include "cli/PlayProgress.h"
#include "cli/PlaySetup.h"
#include "engine/OutputPlayback.h"
#include "lanes/LaneRunner.h"
#include "platform/Interrupt.h"
#include "platform/Terminal.h"
#include "transport/SocketClient.h"

namespace {
constexpr char kPlayUsage[] =
    "Usage: tillstream-cli play FILE [--tcp HOST:PORT | --udp HOST:PORT | --listen [HOST:]PORT\n"
    "                                | --serial COMn] [--delay MS] [--loop] [--count N]\n"
    "                                [--pace delay|recorded] [--speed F] [--max-gap MS]\n"
    "                                [--ttl N] [--interface ADDR] [--baud N]\n"
    "                                [--parity NONE|ODD|EVEN|MARK|SPACE] [--data-bits N]\n"
    "                                [--stop-bits 1|1.5|2] [--quiet]\n";
constexpr char kPlayDescription[] =
    "Plays FILE as the window does: one line at a time with the delay after every line. A\n"
    "converted data file (first line [TILLSTREAM_DATA]) sends the bytes of each payload line;\n"
    "any other file sends each line followed by LF. The stored options apply; the flags\n"
    "replace them for this run only (nothing is saved).\n";
constexpr char kPlayNotes[] =
    "With --listen the run starts when the first device connects and plays to every device\n"
    "connected at the time each line goes out; while none is, it waits. A device that stops\n"
    "reading is dropped once 1 MiB or 10 s of lines wait for it. With --pace recorded\n"
    "FILE is a stamped hex log: each record's bytes go out with the gap between the records'\n"
    "stamps divided by F (0.001 to 1000000); --delay is then the shortest gap (default 0)\n"
    "and --max-gap caps every gap. Lines of any length go out whole, read in pieces; a\n"
    "converted file's line sends at most 512 bytes (a longer one is named once).\n"
    "Progress goes to standard error: live on a terminal, else one summary line at the end.\n"
    "Exit codes: 0 end of file or --count reached, 1 FILE unreadable, the address or port\n"
    "cannot be used, or not one line reached the device, 2 bad arguments; a stopped run ends\n"
    "cleanly: ";

// "connection 1 from 127.0.0.1:40538: 8 lines" for each device of a listening run.
std::string FormatConnectionSummary(const ListenConnection& connection) {
    return "connection " + std::to_string(connection.nNumber) + " from " + connection.strAddress +
           ": " + std::to_string(connection.nLines) + (connection.nLines == 1 ? " line" : " lines");
}
}  // namespace

int RunPlayCommand(const CommandArgs& args, std::ostream& out, std::ostream& err) {
    CCommandParser parser("play", kPlayUsage, kPlayDescription, ExitCodesNote(kPlayNotes));
    PlayFlags flags;
    AddPlayFlags(parser.App(), flags, true);
    if (const std::optional<int> exitCode = parser.Parse(args, out, err)) {
        return *exitCode;
    }
    PlayPlan plan;
    if (const std::optional<PlayRefusal> refusal =
            PreparePlay(flags, {}, "tillstream-cli play", plan)) {
        if (refusal->exitCode == kExitUsage) {
            return parser.Refuse(err, refusal->message);
        }
        PrintCommandError(err, "play", refusal->message);
        return refusal->exitCode;
    }

    CPlayProgress progress(err, plan.request.lineCount, plan.count, plan.options.loopEnabled != 0,
                           flags.bQuiet                         ? CPlayProgress::Mode::kSilent
                           : IsTerminal(StandardStream::kError) ? CPlayProgress::Mode::kLive
                                                                : CPlayProgress::Mode::kSummary);
    if (plan.log) {
        progress.SetRecordedPace(plan.log->firstStamp, plan.log->lastStamp, plan.request.speed);
    }
    // The progress line, the messages and the connection notices share standard error.
    std::mutex errLock;
    auto say = [&](const std::string& text) {
        std::lock_guard lock(errLock);
        progress.ClearLine();
        err << text << std::endl;
    };
    CCliPlaybackHost host(plan.options, [&](const std::string& text) {
        std::lock_guard lock(errLock);
        progress.ClearLine();
        PrintCommandError(err, "play", text);
    });
    host.SetLineCallback([&](const CCliPlaybackHost::Status& status) {
        std::lock_guard lock(errLock);
        progress.SetPasses(status.passes);
        progress.OnLine(status.index, status.percent, status.linesSent, status.stamp);
    });
    if (plan.listener) {
        // The port the system chose is known only now; a device needs it.
        err << "listening on tcp " << plan.listenAddress << std::endl;
        progress.TimeFromFirstLine();
        if (!flags.bQuiet) {
            plan.listener->SetConnectionNotices(
                [&](const ListenConnection& connection) {
                    say("connection " + std::to_string(connection.nNumber) + " from " +
                        connection.strAddress);
                },
                [&](const ListenConnection& connection) {
                    say("connection " + std::to_string(connection.nNumber) + " closed after " +
                        std::to_string(connection.nLines) +
                        (connection.nLines == 1 ? " line" : " lines"));
                },
                [&](const ListenConnection& connection) {
                    say("connection " + std::to_string(connection.nNumber) +
                        " dropped: not reading");
                });
        }
    }

    // A stop asked for while the file was being checked: nothing has been sent, nothing starts.
    if (IsInterruptRequested()) {
        return InterruptedExitCode(kExitOk);
    }
    std::string failure;
    if (plan.listener) {
        // The devices are served on the lanes' event loop, so that one that stops reading or
        // floods the run back costs only itself.
        CLaneRunner lanes(1);
        lanes.Add(MakeLanePlan(plan, host));
        std::string error;
        if (!lanes.Start(error)) {
            PrintCommandError(err, "play", error);
            return kExitFailure;
        }
        SetInterruptCallback([&lanes] { lanes.RequestStop(); });
        lanes.Wait();  // this thread serves the loop until the lane has ended
        ConfirmInterruptStop();
        SetInterruptCallback(nullptr);
        failure = lanes.Failure(0);
    } else {
        CSocketClient socketClient;
        COutputPlayback playback(host, socketClient);
        if (playback.Start(plan.request) == 0) {
            PrintCommandError(err, "play", "the playback thread could not be started");
            return kExitFailure;
        }
        // Set after the start, so that a request raised meanwhile stops the run that has
        // started (the callback then runs at once).
        SetInterruptCallback([&playback] { playback.RequestStop(); });
        while (!host.WaitForEnd(std::chrono::hours(1))) {
        }
        ConfirmInterruptStop();
        playback.WaitUntilEnded(std::chrono::hours(1));
        SetInterruptCallback(nullptr);
    }
    const CCliPlaybackHost::Status status = host.Snapshot();
    progress.Finish(status.linesSent, status.linesLost);
    if (plan.listener && !flags.bQuiet) {
        const std::vector<ListenConnection> connections = plan.listener->Connections();
        err << "connections " << connections.size() << std::endl;
        for (const ListenConnection& connection : connections) {
            err << FormatConnectionSummary(connection) << std::endl;
        }
    }
    if (IsInterruptRequested()) {
        return InterruptedExitCode(kExitOk);
    }
    if (!failure.empty()) {
        return kExitFailure;  // the cause has been told
    }
    // A run in which not one line reached the device did not do its job, whatever it walked.
    if (status.linesSent > 0 && status.linesLost == status.linesSent) {
        PrintCommandError(err, "play",
                          "no line reached the receiving device (nothing accepted "
                          "the connection, or every send failed)");
        return kExitFailure;
    }
    return kExitOk;
}
