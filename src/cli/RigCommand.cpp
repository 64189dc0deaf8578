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
#include <vector>

#include "cli/CliPlaybackHost.h"
#include "cli/CommandOutput.h"
#include "cli/CommandParser.h"
#include "cli/DataFileCheck.h"
#include "cli/PlayFlags.h"
#include "cli/PlayProgress.h"
#include "cli/PlaySetup.h"
#include "cli/RigDisplay.h"
#include "cli/RigFile.h"
#include "engine/OutputPlayback.h"
#include "platform/Interrupt.h"
#include "platform/Terminal.h"
#include "transport/SocketClient.h"

namespace {
constexpr char kRigUsage[] = "Usage: tillstream-cli rig FILE.json [--quiet]\n";
constexpr char kRigDescription[] =
    "Plays several lanes at once from one process, each as 'play' would with its own thread\n"
    "and transport. FILE.json holds {\"lanes\": [LANE, ...]}, each LANE an object whose keys\n"
    "are play's flags without their dashes, e.g.\n"
    "  {\"file\": \"lane1.txt\", \"tcp\": \"127.0.0.1:9101\", \"delay\": 10, \"count\": 500}\n"
    "with one of tcp, udp, listen or serial, and delay, loop (true), count, pace, speed,\n"
    "max-gap, ttl, interface, baud, parity, data-bits, stop-bits. A relative \"file\" is\n"
    "taken from FILE.json's folder.\n";
constexpr char kRigNotes[] =
    "Every lane is checked before anything is sent; a lane that cannot play is named by its\n"
    "number (from 1). The rig ends when every lane has ended, or at Ctrl-C. Standard output\n"
    "then gets one row per lane: lines sent, lines not delivered, and the cadence (mean and\n"
    "99th percentile of |interval - planned pause| over the paced lines, measured as the\n"
    "lines left). On a terminal standard error shows one live line per lane meanwhile.\n"
    "Exit codes: 0 every lane ended, 1 the rig file or a lane cannot be used, or a lane\n"
    "reached no device, 2 bad arguments, ";

// How often the live lines are redrawn.
constexpr std::chrono::milliseconds kRedrawPeriod{200};

// A lane ready to play. Members are destroyed from the last: the playback (its run joined)
// before the transport it uses, the host and the plan (whose listener the run used).
struct Lane {
    int number = 0;
    PlayPlan plan;
    std::unique_ptr<CCliPlaybackHost> host;
    std::unique_ptr<CSocketClient> socketClient;
    std::unique_ptr<COutputPlayback> playback;
};

std::string LaneName(int number) {
    return "lane " + std::to_string(number);
}

// The live line of a lane.
std::string LaneStatusLine(Lane& lane) {
    const CCliPlaybackHost::Status status = lane.host->Snapshot();
    std::string line = LaneName(lane.number) + "  " + lane.plan.target + "  ";
    if (status.bEnded) {
        line += "ended";
    } else if (!status.bStarted) {
        line += lane.plan.listener ? "waiting for a device" : "starting";
    } else {
        line += FormatPlayProgress(
            status.index + 1, lane.plan.request.lineCount, status.percent, 0, std::nullopt, false,
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
}  // namespace

int RunRigCommand(const CommandArgs& args, std::ostream& out, std::ostream& err) {
    CCommandParser parser("rig", kRigUsage, kRigDescription, ExitCodesNote(kRigNotes));
    std::vector<std::string> files;
    bool bQuiet = false;
    parser.App().add_option("FILE", files)->group("");
    parser.App()
        .add_flag("--quiet", bQuiet, "no live lines and no connection notices")
        ->disable_flag_override();
    if (const std::optional<int> exitCode = parser.Parse(args, out, err)) {
        return *exitCode;
    }
    if (files.size() != 1) {
        return parser.Refuse(err, files.empty() ? "FILE.json is missing" : "only one FILE, please");
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

    // Every lane checked before anything is sent.
    const std::string folder = std::filesystem::path(rigPath).parent_path().string();
    std::vector<std::unique_ptr<Lane>> lanes;
    std::set<int> serialPorts;
    for (const RigLaneWords& words : laneWords) {
        auto lane = std::make_unique<Lane>();
        lane->number = words.number;
        CCommandParser laneParser("play", "", "", "");
        PlayFlags flags;
        AddPlayFlags(laneParser.App(), flags, false);
        if (const std::optional<std::string> refusal = laneParser.ParseWords(words.words)) {
            return failure(LaneName(words.number) + ": " + *refusal);
        }
        if (const std::optional<PlayRefusal> refusal =
                PreparePlay(flags, folder, "tillstream-cli rig", lane->plan)) {
            return failure(LaneName(words.number) + ": " + refusal->message);
        }
        if (lane->plan.options.outputInterface == kInterfaceRs232 && !lane->plan.listener &&
            !serialPorts.insert(lane->plan.options.outputComPort).second) {
            return failure(LaneName(words.number) + ": " + lane->plan.target +
                           " is also another lane's port; a port plays one lane");
        }
        lanes.push_back(std::move(lane));
    }

    const bool bLive = !bQuiet && IsTerminal(StandardStream::kError);
    CRigDisplay display(err, bLive);
    for (auto& lane : lanes) {
        const std::string name = LaneName(lane->number);
        lane->host = std::make_unique<CCliPlaybackHost>(
            lane->plan.options, [&display, name](const std::string& message) {
                display.Message(std::string(kCliProgramName) + " rig: " + name + ": " + message);
            });
        if (lane->plan.listener) {
            display.Message(name + ": listening on tcp " + lane->plan.listenAddress);
            if (!bQuiet) {
                lane->plan.listener->SetConnectionNotices(
                    [&display, name](const ListenConnection& connection) {
                        display.Message(name + ": connection " +
                                        std::to_string(connection.nNumber) + " from " +
                                        connection.strAddress);
                    },
                    [&display, name](const ListenConnection& connection) {
                        display.Message(name + ": connection " +
                                        std::to_string(connection.nNumber) + " closed after " +
                                        std::to_string(connection.nLines) + " lines");
                    });
            }
        }
        lane->socketClient = std::make_unique<CSocketClient>();
        lane->playback = std::make_unique<COutputPlayback>(*lane->host, *lane->socketClient);
    }
    if (IsInterruptRequested()) {
        return InterruptedExitCode(kExitOk);
    }
    for (auto& lane : lanes) {
        if (lane->playback->Start(lane->plan.request) == 0) {
            for (auto& started : lanes) {
                started->playback->RequestStop();
            }
            return failure(LaneName(lane->number) + ": the playback thread could not be started");
        }
    }
    SetInterruptCallback([&lanes] {
        for (auto& lane : lanes) {
            lane->playback->RequestStop();
        }
    });
    std::vector<std::string> status(lanes.size());
    auto draw = [&] {
        if (!bLive) {
            return;
        }
        for (std::size_t n = 0; n < lanes.size(); ++n) {
            status[n] = LaneStatusLine(*lanes[n]);
        }
        display.Draw(status);
    };
    for (auto& lane : lanes) {
        while (!lane->host->WaitForEnd(kRedrawPeriod)) {
            draw();
        }
    }
    ConfirmInterruptStop();
    draw();
    display.Clear();
    for (auto& lane : lanes) {
        lane->playback->WaitUntilEnded(std::chrono::hours(1));
    }
    SetInterruptCallback(nullptr);

    std::vector<RigSummaryRow> rows;
    std::vector<int> silentLanes;
    for (auto& lane : lanes) {
        const CCliPlaybackHost::Status laneStatus = lane->host->Snapshot();
        const CCliPlaybackHost::Cadence cadence = lane->host->CadenceFigures();
        rows.push_back({lane->number, lane->plan.target,
                        std::filesystem::path(lane->plan.path).filename().string(),
                        laneStatus.linesSent, laneStatus.linesLost, cadence.intervals,
                        cadence.meanMs, cadence.p99Ms});
        if (laneStatus.linesSent > 0 && laneStatus.linesLost == laneStatus.linesSent) {
            silentLanes.push_back(lane->number);
        }
    }
    out << FormatRigSummary(rows);
    if (!bQuiet) {
        for (auto& lane : lanes) {
            if (!lane->plan.listener) {
                continue;
            }
            for (const ListenConnection& connection : lane->plan.listener->Connections()) {
                err << LaneName(lane->number) << ": connection " << connection.nNumber << " from "
                    << connection.strAddress << ": " << connection.nLines
                    << (connection.nLines == 1 ? " line" : " lines") << std::endl;
            }
        }
    }
    out.flush();
    if (IsInterruptRequested()) {
        return InterruptedExitCode(kExitOk);
    }
    if (!silentLanes.empty()) {
        std::string names;
        for (const int number : silentLanes) {
            names += (names.empty() ? "" : ", ") + std::to_string(number);
        }
        return failure("no line of lane" + std::string(silentLanes.size() > 1 ? "s " : " ") +
                       names + " reached its receiving device");
    }
    return kExitOk;
}
