#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>

#include "cli/CliPlaybackHost.h"
#include "cli/CommandOutput.h"
#include "cli/CommandParser.h"
#include "cli/ConnectionNotices.h"
#include "cli/PlayFlags.h"
#include "cli/PlayProgress.h"
#include "cli/PlayRuns.h"
#include "cli/PlaySetup.h"
#include "datafile/CaptureFlows.h"
#include "platform/Interrupt.h"
#include "platform/Terminal.h"

namespace {
constexpr char kPlayUsage[] =
    "Usage: tillstream-cli play FILE [--tcp HOST:PORT | --udp HOST:PORT | --listen [HOST:]PORT\n"
    "                                | --serial COMn] [--delay MS] [--loop] [--count N]\n"
    "                                [--pace delay|recorded] [--speed F] [--max-gap MS]\n"
    "                                [--flow FLOW] [--allow-gaps]\n"
    "                                [--ttl N] [--interface ADDR] [--baud N]\n"
    "                                [--parity NONE|ODD|EVEN|MARK|SPACE] [--data-bits N]\n"
    "                                [--stop-bits 1|1.5|2] [--quiet]\n"
    "                                [--wait-for TEXT [--reply-timeout MS]] [--char-delay MS]\n";
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
    "and --max-gap caps every gap. FILE may also be a packet capture (pcap or pcapng):\n"
    "the payload of one flow (--flow) goes out over a connection of this program's own,\n"
    "each TCP segment (in order, retransmissions dropped) or UDP datagram as one send at\n"
    "its packet's time. Lines of any length go out whole, read in pieces; a\n"
    "converted file's line sends at most 512 bytes (a longer one is named once).\n"
    "With --wait-for (TCP, listen or serial; not UDP) each line waits for TEXT from the\n"
    "device, sent after the line (bytes before it and other bytes are ignored), at most\n"
    "--reply-timeout; listening, for every device connected when the line went out. The\n"
    "next line goes at the later of the answer and the delay; the summary adds a line\n"
    "'replies: A answered, U unanswered (timeout T ms); reply time mean M ms, p99 P ms'.\n"
    "With --char-delay each byte goes on its own, MS apart (UDP: a datagram each).\n"
    "Progress goes to standard error: live on a terminal, else one summary line at the end.\n"
    "Exit codes: 0 end of file or --count reached, 1 FILE unreadable, the address or port\n"
    "cannot be used, or not one line reached the device, 2 bad arguments; a stopped run ends\n"
    "cleanly: ";

// What a capture's replay will send, before it starts: "replaying tcp 10.0.0.5:50000 >
// 10.0.0.9:9100: 42 records (1 retransmitted segment dropped, 1 put back in order)", then each
// hole played over (the first few).
std::string DescribeCaptureReplay(const CaptureFlow& capture) {
    auto count = [](std::uint64_t n, const char* one, const char* many) {
        return std::to_string(n) + " " + (n == 1 ? one : many);
    };
    std::string text = "replaying " + FormatFlow(capture.flow) + ": " +
                       count(capture.records.size(), "record", "records");
    if (capture.duplicates != 0 || capture.reordered != 0) {
        text += " (" +
                count(capture.duplicates, "retransmitted segment", "retransmitted segments") +
                " dropped, " + std::to_string(capture.reordered) + " put back in order)";
    }
    constexpr std::size_t kHolesTold = 5;
    for (std::size_t n = 0; n < capture.gaps.size() && n < kHolesTold; ++n) {
        text += "\nplaying over a hole: " + FormatFlowGap(capture.gaps[n]);
    }
    if (capture.gaps.size() > kHolesTold) {
        text += "\nand " + count(capture.gaps.size() - kHolesTold, "more hole", "more holes");
    }
    return text;
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
    if (plan.recorded) {
        progress.SetRecordedPace(plan.recorded->firstStamp, plan.recorded->lastStamp,
                                 plan.request.speed);
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
            TellConnections(*plan.listener, say);
        }
    }

    if (const CaptureFlow* capture = plan.request.capture.get(); capture && !flags.bQuiet) {
        err << DescribeCaptureReplay(*capture) << std::endl;
    }

    // A stop asked for while the file was being checked: nothing has been sent, nothing starts.
    if (IsInterruptRequested()) {
        return InterruptedExitCode(kExitOk);
    }
    // One run: as the window plays, on a run thread; listening, on the event loop, so that a
    // device that stops reading or floods the run back costs only itself.
    CPlayRuns runs(1);
    runs.Add(plan, host, RunDriver::kRunThread);
    if (std::string error; !runs.Start(error)) {
        PrintCommandError(err, "play", error);
        return kExitFailure;
    }
    // Set after the start, so that a request raised meanwhile stops the run that has started
    // (the callback then runs at once).
    SetInterruptCallback([&runs] { runs.RequestStop(); });
    runs.Wait();  // this thread serves the run until it has ended
    ConfirmInterruptStop();
    SetInterruptCallback(nullptr);
    const std::string failure = runs.Failure(0);
    const CCliPlaybackHost::Status status = host.Snapshot();
    progress.Finish(status.linesSent, status.linesLost);
    if (!plan.request.waitFor.empty() && !flags.bQuiet) {
        err << FormatReplySummary(host.Replies(),
                                  static_cast<std::uint64_t>(plan.request.replyTimeout.count()))
            << std::endl;
    }
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
    if (status.ReachedNoDevice()) {
        PrintCommandError(err, "play",
                          "no line reached the receiving device (nothing accepted "
                          "the connection, or every send failed)");
        return kExitFailure;
    }
    return kExitOk;
}
