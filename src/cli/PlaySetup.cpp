#include "cli/PlaySetup.h"

#include <algorithm>
#include <filesystem>
#include <limits>

#include "cli/CommandOutput.h"
#include "cli/DataFileCheck.h"
#include "cli/EscapedText.h"
#include "cli/InterfaceCheck.h"
#include "cli/SerialCheck.h"
#include "datafile/CaptureFile.h"
#include "datafile/CaptureFlows.h"
#include "datafile/DataFileKind.h"
#include "datafile/LineIndex.h"
#include "datafile/StampedLog.h"
#include "datafile/UtcTime.h"
#include "options/OptionFields.h"
#include "options/OptionStore.h"
#include "platform/ReceiveSocket.h"
#include "platform/SerialPort.h"
#include "transport/SerialVocabulary.h"

namespace {
PlayRefusal Failure(std::string message) {
    return {kExitFailure, std::move(message)};
}

PlayRefusal Usage(std::string message) {
    return {kExitUsage, std::move(message)};
}

std::string EndpointText(const char* kind, std::uint32_t dwAddr, std::uint16_t wPort) {
    return std::string(kind) + " " + FormatIPv4Address(dwAddr) + ":" + std::to_string(wPort);
}

// A capture's flow, read whole and checked before anything is sent.
std::optional<PlayRefusal> LoadCapture(const PlayFlags& flags, PlayPlan& plan) {
    const std::string& path = plan.path;
    if (!flags.RecordedPace()) {
        return Failure("'" + path +
                       "' is a packet capture; play it with --pace recorded (the flows "
                       "command lists its flows)");
    }
    FlowSelector selector;
    if (flags.flow) {
        std::string why;
        std::optional<FlowSelector> parsed = ParseFlowSelector(*flags.flow, why);
        if (!parsed) {
            return Usage("--flow '" + *flags.flow + "': " + why);
        }
        selector = *parsed;
    }
    auto flow = std::make_shared<CaptureFlow>();
    std::string error;
    if (!LoadCaptureFlow(path, selector, flags.bAllowGaps, *flow, error)) {
        return Failure("'" + path + "': " + error);
    }
    plan.request.bRecordedPace = true;
    plan.request.lineCount = static_cast<std::int32_t>(
        std::min<std::size_t>(flow->records.size(), std::numeric_limits<std::int32_t>::max()));
    plan.recorded = PlayPlan::RecordedSpan{FormatUtcMicroseconds(flow->records.front().timeNs),
                                           FormatUtcMicroseconds(flow->records.back().timeNs)};
    plan.request.capture = std::move(flow);
    return std::nullopt;
}

// The file's kind and its count of lines, or at the recorded pace of records.
std::optional<PlayRefusal> CheckFile(const PlayFlags& flags, PlayPlan& plan) {
    const std::string& path = plan.path;
    if (const std::optional<std::string> refusal = RegularDataFileRefusal(path)) {
        return Failure(*refusal);
    }
    plan.request.path = path;
    if (IsPacketCapture(path)) {
        return LoadCapture(flags, plan);
    }
    if (flags.flow || flags.bAllowGaps) {
        return Usage("--flow and --allow-gaps go with a packet capture (pcap or pcapng); '" + path +
                     "' is none");
    }
    const int kind = IsTillstreamDataFile(path);
    if (kind == kDataFileUnreadable) {
        return Failure("cannot read '" + path + "'");
    }
    if (flags.RecordedPace()) {
        if (kind == kDataFileConverted) {
            return Failure("'" + path +
                           "' is a converted data file, whose stamps are gone; --pace recorded "
                           "plays the stamped hex log (restore it first)");
        }
        if (kind != kDataFileStampedLog) {
            return Failure("'" + path +
                           "' is neither a stamped hex log ('[' at column 0 and ']' at column 20 "
                           "of its first line) nor a packet capture (pcap or pcapng); --pace "
                           "recorded plays only those");
        }
        StampedLogScan scan = ScanStampedLog(path);
        if (!scan.bReadable) {
            return Failure("cannot read '" + path + "'");
        }
        if (scan.badLine != 0) {
            return Failure("'" + path + "' line " + std::to_string(scan.badLine) + ": '" +
                           scan.badText + "' does not begin with a stamp [YYYY-MM-DD HH:MM:SS]");
        }
        plan.request.bRecordedPace = true;
        plan.request.lineCount = static_cast<std::int32_t>(scan.records);
        plan.recorded =
            PlayPlan::RecordedSpan{std::move(scan.firstStamp), std::move(scan.lastStamp)};
        return std::nullopt;
    }
    CLineIndex index;
    if (index.Build(path) != 0) {
        return Failure("cannot read '" + path + "'");
    }
    plan.request.convertedFile = kind == kDataFileConverted;
    plan.request.lineCount = static_cast<std::int32_t>(index.Count());
    return std::nullopt;
}

// --wait-for, --reply-timeout and --char-delay into the request. An answer needs a device that
// can send one back: a TCP connection (either way round) or a serial port, not UDP.
std::optional<PlayRefusal> ApplyDeviceTalk(const PlayFlags& flags, PlayPlan& plan) {
    plan.request.charDelay = std::chrono::milliseconds(flags.charDelay.value_or(0));
    if (!flags.waitFor) {
        if (flags.replyTimeout) {
            return Usage("--reply-timeout goes with --wait-for");
        }
        return std::nullopt;
    }
    std::string error;
    const std::optional<std::string> text = ParseEscapedText(*flags.waitFor, error);
    if (!text) {
        return Usage("--wait-for: " + error);
    }
    if (text->empty()) {
        return Usage("--wait-for: the text is empty");
    }
    if (!flags.listen && plan.options.outputInterface == kInterfaceUdpClient) {
        return Usage(
            "--wait-for needs a device that answers over the same line: --tcp, --listen or "
            "--serial (UDP is sent only, nothing is read back)");
    }
    plan.request.waitFor = *text;
    plan.request.replyTimeout = std::chrono::milliseconds(flags.replyTimeout.value_or(5000));
    return std::nullopt;
}

std::optional<PlayRefusal> Resolve(const std::string& host, std::uint32_t& dwAddr) {
    std::string error;
    if (!ResolveIPv4Host(host, dwAddr, error)) {
        return Failure("cannot resolve '" + host + "': " + error);
    }
    return std::nullopt;
}
}  // namespace

std::optional<PlayRefusal> PreparePlay(const PlayFlags& flags, const std::string& fileFolder,
                                       const char* command, PlayPlan& plan) {
    if (const std::optional<std::string> refusal = CheckPlayFlagCombination(flags)) {
        return Usage(*refusal);
    }
    plan.path = flags.files.front();
    if (!fileFolder.empty() && std::filesystem::path(plan.path).is_relative()) {
        plan.path = (std::filesystem::path(fileFolder) / plan.path).string();
    }

    // The stored record with the flags applied, for this run only.
    OptionRecord& options = plan.options;
    options = MakeDefaultOptionRecord();
    LoadStoredOptions(options, command);
    std::string host;
    if (const std::optional<Endpoint>& endpoint = flags.tcp ? flags.tcp : flags.udp) {
        host = endpoint->host;
        options.outputInterface = flags.tcp ? kInterfaceTcpClient : kInterfaceUdpClient;
        options.remotePort = endpoint->port;
    }
    if (flags.serialPort) {
        options.outputInterface = kInterfaceRs232;
        options.outputComPort = *flags.serialPort;
    }
    // At the recorded pace the delay is the shortest gap, and none unless asked for.
    options.delayMs = flags.delay.value_or(flags.RecordedPace() ? 0 : options.delayMs);
    if (flags.bLoop) {
        options.loopEnabled = 1;
    }
    plan.count = flags.count.value_or(0);
    plan.request.lineLimit = plan.count;
    flags.lineSettings.ApplyTo(options.outputBaudRate, options.outputParity, options.outputDataBits,
                               options.outputStopBits);
    if (flags.RecordedPace()) {
        // The flag's check saw the text as a double; the parser's own reading of it may differ
        // in the last bit, which must not take it out of the range.
        plan.request.speed = std::clamp(flags.speed.value_or(1.0), kLowestSpeed, kHighestSpeed);
        plan.request.maxGap = std::chrono::milliseconds(flags.maxGap.value_or(0));
    }

    if (std::optional<PlayRefusal> refusal = ApplyDeviceTalk(flags, plan)) {
        return refusal;
    }

    // Refusals that need the world: all of them before anything is sent.
    if (const std::optional<PlayRefusal> refusal = CheckFile(flags, plan)) {
        return refusal;
    }

    if (flags.listen) {
        const std::string listenHost = flags.listen->host.empty() ? "0.0.0.0" : flags.listen->host;
        std::uint32_t dwAddr = 0;
        if (std::optional<PlayRefusal> refusal = Resolve(listenHost, dwAddr)) {
            return refusal;
        }
        plan.listener = std::make_unique<CLaneListener>();
        const SocketError error = plan.listener->Listen(dwAddr, flags.listen->port);
        if (error != SocketError::kNone) {
            return Failure("cannot listen on tcp " + listenHost + ":" +
                           std::to_string(flags.listen->port) + ": " + SocketErrorText(error));
        }
        plan.listenAddress =
            FormatIPv4Address(dwAddr) + ":" + std::to_string(plan.listener->ListenPort());
        plan.target = "listen " + plan.listenAddress;
        return std::nullopt;
    }
    if (options.outputInterface == kInterfaceTcpClient ||
        options.outputInterface == kInterfaceUdpClient) {
        if (!host.empty()) {
            std::uint32_t dwAddr = 0;
            if (std::optional<PlayRefusal> refusal = Resolve(host, dwAddr)) {
                return refusal;
            }
            options.remoteAddress = dwAddr;
        }
        if (options.remoteAddress == 0 || options.remotePort < 1 || options.remotePort > 65535) {
            return Failure("no usable receiving device address (remoteAddress " +
                           OptionFieldText(options, &OptionRecord::remoteAddress) +
                           ", remotePort " + OptionFieldText(options, &OptionRecord::remotePort) +
                           "); give --tcp HOST:PORT or --udp HOST:PORT");
        }
        const bool bUdp = options.outputInterface == kInterfaceUdpClient;
        if (flags.ttl || flags.multicastInterface) {
            if (!bUdp || !IsMulticastAddress(options.remoteAddress)) {
                return Usage(
                    "--ttl and --interface go with a multicast group (224.0.0.0 to "
                    "239.255.255.255), not " +
                    FormatIPv4Address(options.remoteAddress));
            }
            plan.request.multicastTtl = flags.ttl.value_or(1);
            if (flags.multicastInterface) {
                if (std::optional<InterfaceRefusal> refusal = CheckMulticastInterface(
                        *flags.multicastInterface, plan.request.multicastInterface)) {
                    return PlayRefusal{refusal->exitCode, std::move(refusal->message)};
                }
            }
        }
        plan.target = EndpointText(bUdp ? "udp" : "tcp", options.remoteAddress,
                                   static_cast<std::uint16_t>(options.remotePort));
    } else if (options.outputInterface == kInterfaceRs232) {
        CSerialPort probe;
        std::string message;
        const SerialLineSettings settings{options.outputBaudRate,
                                          static_cast<std::uint8_t>(options.outputDataBits),
                                          static_cast<std::uint8_t>(options.outputParity),
                                          static_cast<std::uint8_t>(options.outputStopBits)};
        if (!OpenSerialForCli(probe, options.outputComPort, settings, message)) {
            return Failure(message);
        }
        plan.target = "serial " + ComPortName(options.outputComPort);
    } else {
        return Failure("the stored outputInterface " + std::to_string(options.outputInterface) +
                       " is not 0 (TCP), 1 (UDP) or 2 (RS-232); give --tcp, --udp, --listen or "
                       "--serial");
    }
    return std::nullopt;
}

LanePlan MakeLanePlan(const PlayPlan& plan, CPlaybackHost& host) {
    LanePlan lane;
    lane.request = plan.request;
    lane.pHost = &host;
    lane.delay = std::chrono::milliseconds(plan.options.delayMs);
    lane.bLoop = plan.options.loopEnabled != 0;
    if (plan.listener) {
        lane.kind = LanePlan::Kind::kListen;
        lane.pListener = plan.listener.get();
    } else {
        lane.kind = plan.options.outputInterface == kInterfaceUdpClient ? LanePlan::Kind::kUdp
                                                                        : LanePlan::Kind::kTcp;
        lane.address = plan.options.remoteAddress;
        lane.port = static_cast<std::uint16_t>(plan.options.remotePort);
    }
    return lane;
}
