#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <ostream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/CliPlaybackHost.h"
#include "cli/CommandOutput.h"
#include "cli/CommandParser.h"
#include "cli/ConnectionNotices.h"
#include "cli/DataFileCheck.h"
#include "cli/PlayFlags.h"
#include "cli/PlayProgress.h"
#include "cli/PlayRuns.h"
#include "cli/PlaySetup.h"
#include "cli/RigDisplay.h"
#include "cli/RigFile.h"
#include "platform/Interrupt.h"
#include "platform/OpenFileLimit.h"
#include "platform/Terminal.h"

namespace {
constexpr char kRigUsage[] =
    "Usage: tillstream-cli rig FILE.json [--quiet] [--together] [--shard K/N]\n"
    "                                    [--report FILE.json|-]\n";
constexpr char kRigDescription[] =
    "Plays several lanes at once from one process, each as 'play' would. FILE.json holds\n"
    "{\"lanes\": [LANE, ...]}, each LANE an object whose keys are play's flags without their\n"
    "dashes, e.g.\n"
    "  {\"file\": \"lane1.txt\", \"tcp\": \"127.0.0.1:9101\", \"delay\": 10, \"count\": 500}\n"
    "with one of tcp, udp, listen or serial, and delay, loop (true), count, pace, speed,\n"
    "max-gap, ttl, interface, baud, parity, data-bits, stop-bits, wait-for, reply-timeout,\n"
    "char-delay; and \"start\": when the lane's first line goes out, in ms. A relative\n"
    "\"file\" is taken from FILE.json's folder.\n";
constexpr char kRigNotes[] =
    "TCP, UDP and listening lanes share a few threads (one per processor); a serial lane has\n"
    "a thread of its own. By default the lanes' first lines are spread over their first\n"
    "pause; --together starts them all at once. Every lane is checked before anything is\n"
    "sent; a lane that cannot play is named by its number (from 1). The rig ends when every\n"
    "lane has ended, or at Ctrl-C. Standard output then gets one row per lane (more than 50\n"
    "lanes: a digest): lines sent, lines not delivered, and the cadence (mean and 99th\n"
    "percentile of |interval - planned pause| over the paced lines, as the lines left).\n"
    "--report writes every lane's row as JSON ('-': to standard output, the summary then\n"
    "going to standard error). --shard K/N plays the lanes whose index (from 0) leaves K\n"
    "when divided by N. On a terminal standard error shows live lines meanwhile.\n"
    "Exit codes: 0 every lane ended, 1 the rig file or a lane cannot be used, a lane could\n"
    "not play or reached no device, 2 bad arguments, 130 stopped by Ctrl-C, 143 by SIGTERM,\n"
    "129 by SIGHUP.\n";

// How often the live lines are redrawn.
constexpr std::chrono::milliseconds kRedrawPeriod{200};

// Descriptors the rig holds besides its lanes': the standard streams and the few it reads or
// writes while it starts, and per thread of the event loop its own (on Linux an epoll, a timer
// and a wake-up descriptor).
constexpr std::uint64_t kBaseDescriptors = 4;
constexpr std::uint64_t kDescriptorsPerLoop = 4;

// A lane ready to play. A rig may hold thousands of lanes, so a lane keeps only what the live
// lines and the summary need once it has been handed to the runs; the runs end before the lanes
// (their hosts and listeners) are destroyed.
struct Lane {
    int number = 0;
    std::string target;  // "tcp 127.0.0.1:9101"
    std::string path;
    std::int32_t lineCount = 0;
    bool bSerial = false;
    bool bTcpClient = false;
    // With a wait for the device's answers: how long a line waits for one.
    std::optional<std::uint64_t> replyTimeoutMs;
    std::optional<std::uint32_t> startMs;
    std::unique_ptr<CLaneListener> listener;
    std::string listenAddress;
    // Until the lane is handed to the runs.
    std::unique_ptr<PlayPlan> plan;
    std::unique_ptr<CCliPlaybackHost> host;
    std::size_t runIndex = 0;  // among the rig's runs
};

std::string LaneName(int number) {
    return "lane " + std::to_string(number);
}

bool IsSerial(const PlayPlan& plan) {
    return !plan.listener && plan.options.outputInterface == kInterfaceRs232;
}

bool IsTcpClient(const PlayPlan& plan) {
    return !plan.listener && plan.options.outputInterface == kInterfaceTcpClient;
}

// The live line of a lane.
std::string LaneStatusLine(Lane& lane) {
    const CCliPlaybackHost::Status status = lane.host->Snapshot();
    std::string line = LaneName(lane.number) + "  " + lane.target + "  ";
    if (status.bEnded) {
        line += "ended";
    } else if (!status.bStarted) {
        line += lane.listener ? "waiting for a device" : "starting";
    } else {
        line += FormatPlayProgress(
            status.index + 1, lane.lineCount, status.percent, 0, std::nullopt, false,
            status.stamp.size() > 11 ? status.stamp.substr(11) : status.stamp);
    }
    line += "  " + std::to_string(status.linesSent) + " sent";
    if (status.linesLost > 0) {
        line += ", " + std::to_string(status.linesLost) + " not delivered";
    }
    return line;
}

bool ReadWholeFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    std::ostringstream content;
    content << in.rdbuf();
    text = content.str();
    return !in.bad();
}

// "K/N" with 0 <= K < N.
std::optional<std::pair<std::uint32_t, std::uint32_t>> ParseShard(const std::string& text) {
    const std::size_t slash = text.find('/');
    auto number = [](const std::string& digits) -> std::optional<std::uint32_t> {
        if (digits.empty() || digits.size() > 9 ||
            digits.find_first_not_of("0123456789") != std::string::npos) {
            return std::nullopt;
        }
        return static_cast<std::uint32_t>(std::stoul(digits));
    };
    if (slash == std::string::npos) {
        return std::nullopt;
    }
    const std::optional<std::uint32_t> k = number(text.substr(0, slash));
    const std::optional<std::uint32_t> n = number(text.substr(slash + 1));
    if (!k || !n || *n == 0 || *k >= *n) {
        return std::nullopt;
    }
    return std::make_pair(*k, *n);
}

// "1, 2, 5" of the first few numbers, "and N more" for the rest.
std::string NumberList(const std::vector<int>& numbers) {
    constexpr std::size_t kNamed = 20;
    std::string names;
    for (std::size_t n = 0; n < numbers.size() && n < kNamed; ++n) {
        names += (n == 0 ? "" : ", ") + std::to_string(numbers[n]);
    }
    if (numbers.size() > kNamed) {
        names += " and " + std::to_string(numbers.size() - kNamed) + " more";
    }
    return names;
}
}  // namespace

int RunRigCommand(const CommandArgs& args, std::ostream& out, std::ostream& err) {
    CCommandParser parser("rig", kRigUsage, kRigDescription, kRigNotes);
    std::vector<std::string> files;
    bool bQuiet = false;
    bool bTogether = false;
    std::optional<std::string> shardText;
    std::optional<std::string> reportPath;
    parser.App().add_option("FILE", files)->group("");
    parser.App()
        .add_flag("--quiet", bQuiet, "no live lines and no connection notices")
        ->disable_flag_override();
    parser.App()
        .add_flag("--together", bTogether,
                  "every lane's first line at once, instead of spread over the first pause")
        ->disable_flag_override();
    parser.App().add_option("--shard", shardText,
                            "K/N: only the lanes whose index (from 0) leaves K divided by N");
    parser.App().add_option("--report", reportPath,
                            "FILE.json: every lane's row as JSON ('-': standard output)");
    if (const std::optional<int> exitCode = parser.Parse(args, out, err)) {
        return *exitCode;
    }
    if (files.size() != 1) {
        return parser.Refuse(err, files.empty() ? "FILE.json is missing" : "only one FILE, please");
    }
    std::pair<std::uint32_t, std::uint32_t> shard{0, 1};
    if (shardText) {
        const auto parsed = ParseShard(*shardText);
        if (!parsed) {
            return parser.Refuse(
                err, "--shard: '" + *shardText + "' is not K/N with whole numbers 0 <= K < N");
        }
        shard = *parsed;
    }
    if (reportPath && reportPath->empty()) {
        return parser.Refuse(err, "--report: give a FILE.json, or - for standard output");
    }
    const std::string& rigPath = files.front();
    auto failure = [&err](const std::string& message) {
        PrintCommandError(err, "rig", message);
        return kExitFailure;
    };
    if (const std::optional<std::string> refusal = RegularDataFileRefusal(rigPath)) {
        return failure(*refusal);
    }
    std::string text;
    if (!ReadWholeFile(rigPath, text)) {
        return failure("cannot read '" + rigPath + "'");
    }

    // The keys a lane may use are play's flags, as play itself declares them.
    CCommandParser keyParser("play", "", "", "");
    PlayFlags keyFlags;
    AddPlayFlags(keyParser.App(), keyFlags, false);
    const RigKeyLookup lookup = [&keyParser](const std::string& key) -> std::optional<bool> {
        const CLI::Option* option = key.empty() || key.starts_with("-")
                                        ? nullptr
                                        : keyParser.App().get_option_no_throw("--" + key);
        if (option == nullptr || option->get_group().empty()) {
            return std::nullopt;
        }
        return option->get_expected_max() != 0;
    };
    std::vector<RigLaneWords> laneWords;
    if (const std::optional<std::string> refusal = ReadRigFile(text, lookup, laneWords)) {
        return failure("'" + rigPath + "': " + *refusal);
    }
    // A shard plays the lanes whose index (from 0, in the file's order) leaves K divided by N;
    // they keep the numbers they have in the file.
    std::erase_if(laneWords, [&shard](const RigLaneWords& words) {
        return static_cast<std::uint32_t>(words.number - 1) % shard.second != shard.first;
    });
    if (laneWords.empty()) {
        return failure("shard " + *shardText + " of '" + rigPath + "' holds no lane");
    }

    // Every lane's flags first: what the lanes will need of the system is known before any of
    // them opens anything.
    std::vector<PlayFlags> laneFlags(laneWords.size());
    std::uint64_t descriptors = kBaseDescriptors;
    std::set<std::string> laneFiles;
    for (std::size_t n = 0; n < laneWords.size(); ++n) {
        CCommandParser laneParser("play", "", "", "");
        AddPlayFlags(laneParser.App(), laneFlags[n], false);
        if (const std::optional<std::string> refusal = laneParser.ParseWords(laneWords[n].words)) {
            return failure(LaneName(laneWords[n].number) + ": " + *refusal);
        }
        const PlayFlags& flags = laneFlags[n];
        if (flags.serialPort) {
            descriptors += 3;  // the port, the file, the port's wake-up
        } else {
            // The lanes of one file share it; a lane has its socket, a listening lane its
            // listener and a device at least.
            descriptors += flags.listen ? 2 : 1;
            laneFiles.insert(flags.files.empty() ? std::string() : flags.files.front());
        }
    }
    descriptors += laneFiles.size() +
                   kDescriptorsPerLoop *
                       std::min<std::uint64_t>(std::max(1u, std::thread::hardware_concurrency()),
                                               laneWords.size());
    if (const std::optional<std::uint64_t> limit = RaiseOpenFileLimit();
        limit && descriptors > *limit) {
        return failure(std::to_string(laneWords.size()) + " lanes need about " +
                       std::to_string(descriptors) + " open files; this process may open " +
                       std::to_string(*limit) + " (ulimit -n)");
    }

    // Every lane checked before anything is sent.
    const std::string folder = std::filesystem::path(rigPath).parent_path().string();
    std::vector<std::unique_ptr<Lane>> lanes;
    std::set<int> serialPorts;
    for (std::size_t n = 0; n < laneWords.size(); ++n) {
        auto lane = std::make_unique<Lane>();
        lane->number = laneWords[n].number;
        lane->startMs = laneWords[n].startMs;
        lane->plan = std::make_unique<PlayPlan>();
        PlayPlan& plan = *lane->plan;
        if (const std::optional<PlayRefusal> refusal =
                PreparePlay(laneFlags[n], folder, "tillstream-cli rig", plan)) {
            return failure(LaneName(lane->number) + ": " + refusal->message);
        }
        lane->target = plan.target;
        lane->path = plan.path;
        lane->lineCount = plan.request.lineCount;
        lane->bSerial = IsSerial(plan);
        lane->bTcpClient = IsTcpClient(plan);
        if (!plan.request.waitFor.empty()) {
            lane->replyTimeoutMs = static_cast<std::uint64_t>(plan.request.replyTimeout.count());
        }
        lane->listenAddress = plan.listenAddress;
        if (lane->bSerial && !serialPorts.insert(plan.options.outputComPort).second) {
            return failure(LaneName(lane->number) + ": " + plan.target +
                           " is also another lane's port; a port plays one lane");
        }
        lanes.push_back(std::move(lane));
    }
    laneFlags.clear();
    laneWords.clear();

    // The report file is made before anything is sent, so that one that cannot be written
    // refuses the rig rather than losing its figures.
    const bool bReportToOut = reportPath && *reportPath == "-";
    std::ofstream reportFile;
    if (reportPath && !bReportToOut) {
        reportFile.open(*reportPath, std::ios::binary | std::ios::trunc);
        if (!reportFile) {
            return failure("cannot write the report '" + *reportPath + "'");
        }
    }
    std::ostream& summaryOut = bReportToOut ? err : out;

    const bool bLive = !bQuiet && IsTerminal(StandardStream::kError);
    CRigDisplay display(err, bLive);
    std::size_t loopLanes = 0;
    for (auto& lane : lanes) {
        loopLanes += lane->bSerial ? 0 : 1;
    }
    // Declared after the lanes, so that it is destroyed (its runs ended) before them.
    CPlayRuns runs;
    // The lanes on the loop play with fixed options and never ask for them: one record for all.
    const auto sharedOptions = std::make_shared<const OptionRecord>(MakeDefaultOptionRecord());
    std::size_t position = 0;
    for (auto& lane : lanes) {
        const std::string name = LaneName(lane->number);
        auto onMessage = [&display, name](const std::string& message) {
            display.Message(std::string(kCliProgramName) + " rig: " + name + ": " + message);
        };
        lane->host = lane->bSerial
                         ? std::make_unique<CCliPlaybackHost>(lane->plan->options, onMessage)
                         : std::make_unique<CCliPlaybackHost>(sharedOptions, onMessage);
        if (lane->plan->listener) {
            display.Message(name + ": listening on tcp " + lane->listenAddress);
            if (!bQuiet) {
                TellConnections(*lane->plan->listener, [&display, name](const std::string& text) {
                    display.Message(name + ": " + text);
                });
            }
        }
        RunStart start;
        if (lane->startMs) {
            start.after = std::chrono::milliseconds(*lane->startMs);
        } else if (!bTogether) {
            // Real tills are not synchronised: the first lines are spread over the first pause.
            start.fraction = static_cast<double>(position) / static_cast<double>(loopLanes);
        }
        position += lane->bSerial ? 0 : 1;
        lane->runIndex = runs.Add(*lane->plan, *lane->host, RunDriver::kLoop, start);
        // The rig holds the listener now (the run keeps using it), not the plan.
        lane->listener = std::move(lane->plan->listener);
        lane->plan.reset();
    }
    if (IsInterruptRequested()) {
        return InterruptedExitCode(kExitOk);
    }
    if (std::string error; !runs.Start(error)) {
        return failure(error);
    }
    SetInterruptCallback([&runs] { runs.RequestStop(); });
    std::vector<std::string> status;
    auto draw = [&] {
        if (!bLive) {
            return;
        }
        status.clear();
        for (std::size_t n = 0; n < lanes.size() && n < kRigLiveLanes; ++n) {
            status.push_back(LaneStatusLine(*lanes[n]));
        }
        display.Draw(status, lanes.size());
    };
    // This thread serves the lanes' loop too, until they have ended.
    runs.Wait(draw, kRedrawPeriod);
    ConfirmInterruptStop();
    draw();
    display.Clear();
    SetInterruptCallback(nullptr);

    std::vector<RigSummaryRow> rows;
    std::vector<int> failedLanes;
    std::vector<int> silentLanes;
    for (auto& lane : lanes) {
        const CCliPlaybackHost::Status laneStatus = lane->host->Snapshot();
        const CCliPlaybackHost::Cadence cadence = lane->host->CadenceFigures();
        RigSummaryRow row{lane->number,
                          lane->target,
                          std::filesystem::path(lane->path).filename().string(),
                          laneStatus.linesSent,
                          laneStatus.linesLost,
                          cadence.intervals,
                          cadence.meanMs,
                          cadence.p99Ms};
        row.failure = runs.Failure(lane->runIndex);
        if (lane->listener || lane->bTcpClient) {
            row.connections = runs.Connections(lane->runIndex);
        }
        if (lane->replyTimeoutMs) {
            row.replies = lane->host->Replies();
        }
        if (!row.failure.empty()) {
            failedLanes.push_back(lane->number);
        } else if (laneStatus.ReachedNoDevice()) {
            silentLanes.push_back(lane->number);
        }
        rows.push_back(std::move(row));
    }
    summaryOut << (rows.size() > kRigTableLanes ? FormatRigDigest(rows) : FormatRigSummary(rows));
    if (!bQuiet && rows.size() <= kRigTableLanes) {
        for (std::size_t n = 0; n < lanes.size(); ++n) {
            const Lane& lane = *lanes[n];
            if (rows[n].replies) {
                err << LaneName(lane.number) << ": "
                    << FormatReplySummary(*rows[n].replies, *lane.replyTimeoutMs) << std::endl;
            }
            if (!lane.listener) {
                continue;
            }
            for (const ListenConnection& connection : lane.listener->Connections()) {
                err << LaneName(lane.number) << ": " << FormatConnectionSummary(connection)
                    << std::endl;
            }
        }
    }
    summaryOut.flush();
    if (reportPath) {
        std::ostream& report = bReportToOut ? out : reportFile;
        report << FormatRigReport(rows);
        report.flush();
        if (!bReportToOut) {
            reportFile.close();
        }
        if (!report) {
            PrintCommandError(err, "rig", "cannot write the report '" + *reportPath + "'");
            if (!IsInterruptRequested()) {
                return kExitFailure;
            }
        }
    }
    if (IsInterruptRequested()) {
        return InterruptedExitCode(kExitOk);
    }
    auto lanesWord = [](const std::vector<int>& numbers) {
        return std::string(numbers.size() > 1 ? "lanes " : "lane ") + NumberList(numbers);
    };
    if (!failedLanes.empty()) {
        PrintCommandError(
            err, "rig",
            lanesWord(failedLanes) + " could not play as asked (the " + "cause is told above)");
    }
    if (!silentLanes.empty()) {
        PrintCommandError(err, "rig",
                          "no line of " + lanesWord(silentLanes) + " reached its receiving device");
    }
    if (!failedLanes.empty() || !silentLanes.empty()) {
        return kExitFailure;
    }
    return kExitOk;
}
