#include "cli/PlayFlags.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace {
// A speed factor: any number from kLowestSpeed to kHighestSpeed, however it is written ("10",
// "2.5", "1e3", "0.001"). Taken as a double first and checked as one, so that no spelling (a
// tiny number written out in full, "inf", "nan") gets past the range.
CLI::Validator SpeedFactor() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            double value = 0;
            const char* end = text.data() + text.size();
            const auto [stop, error] = std::from_chars(text.data(), end, value);
            if (error != std::errc() || stop != end || !std::isfinite(value) ||
                value < kLowestSpeed || value > kHighestSpeed) {
                return "'" + text +
                       "' is not a speed factor (from 0.001 to 1000000, e.g. 10 or 0.5)";
            }
            return {};
        },
        "", "SpeedFactor");
}
}  // namespace

void AddPlayFlags(CLI::App& app, PlayFlags& flags, bool bWithQuiet) {
    app.add_option("FILE", flags.files)->group("");
    AddEndpointFlag(app, "--tcp", flags.tcp, false, false, "HOST:PORT",
                    "send over a TCP connection to HOST (IPv4 address or name)");
    AddEndpointFlag(app, "--udp", flags.udp, false, false, "HOST:PORT",
                    "send each line as a UDP datagram (HOST may be a broadcast address\n"
                    "or a multicast group)");
    AddEndpointFlag(app, "--listen", flags.listen, true, true, "[HOST:]PORT",
                    "listen on PORT (HOST default 0.0.0.0) and send every line to each\n"
                    "device connected at the time; the run waits while none is");
    AddComPortFlag(app, "--serial", flags.serialPort,
                   "send out of serial port n (the stored output line settings, or those\n"
                   "of --baud, --parity, --data-bits, --stop-bits)");
    AddNumberFlag<std::uint32_t>(app, "--delay", flags.delay, 0, UINT32_MAX, "MS",
                                 "pause after every line (stored delayMs otherwise); with\n"
                                 "--pace recorded the shortest pause (default 0)");
    app.add_flag("--loop", flags.bLoop, "start again at the first line after the last one")
        ->disable_flag_override();
    AddNumberFlag<std::uint64_t>(app, "--count", flags.count, 1, UINT64_MAX / 2, "N",
                                 "stop after N lines sent, counted across loops");
    app.add_option("--pace", flags.pace,
                   "'delay' (the delay after every line) or 'recorded': FILE is a\n"
                   "stamped hex log, played with the gaps between its stamps, or a\n"
                   "packet capture (pcap, pcapng), played with its packets' gaps")
        ->option_text("PACE")
        ->check(CLI::IsMember({"delay", "recorded"}));
    app.add_option("--speed", flags.speed,
                   "with --pace recorded: play the log F times as fast (default 1;\n"
                   "0.001 to 1000000)")
        ->option_text("F")
        ->transform(SpeedFactor());
    AddNumberFlag<std::uint32_t>(app, "--max-gap", flags.maxGap, 1, UINT32_MAX, "MS",
                                 "with --pace recorded: no pause longer than MS");
    app.add_option("--flow", flags.flow,
                   "with a capture: the flow to play, its destination port or\n"
                   "'SRC:PORT>DST:PORT' as the flows command lists it (needed when\n"
                   "several flows carry data)")
        ->option_text("FLOW");
    app.add_flag("--allow-gaps", flags.bAllowGaps,
                 "with a capture: play a TCP flow with bytes the capture missed\n"
                 "(each hole is told), instead of refusing it")
        ->disable_flag_override();
    AddNumberFlag<int>(app, "--ttl", flags.ttl, 0, 255, "N",
                       "with --udp to a multicast group: at most N router hops (default 1)");
    app.add_option("--interface", flags.multicastInterface,
                   "with --udp to a multicast group: send out of the interface that\n"
                   "has the address ADDR (default: the system's routes choose)")
        ->option_text("ADDR");
    app.add_option("--wait-for", flags.waitFor,
                   "after each line wait until the device has sent TEXT (C escapes:\n"
                   "\\x06, \\r\\n, \\t, \\0, \\\\); --delay is then the least time between lines")
        ->option_text("TEXT");
    AddNumberFlag<std::uint32_t>(app, "--reply-timeout", flags.replyTimeout, 1, UINT32_MAX, "MS",
                                 "with --wait-for: a line not answered within MS counts as\n"
                                 "unanswered and the next one goes (default 5000)");
    AddNumberFlag<std::uint32_t>(app, "--char-delay", flags.charDelay, 0, UINT32_MAX, "MS",
                                 "send each byte on its own, MS after the one before it (UDP:\n"
                                 "one datagram per byte); the delay follows the last byte");
    AddLineSettingFlags(app, flags.lineSettings);
    if (bWithQuiet) {
        app.add_flag("--quiet", flags.bQuiet, "no progress and no summary")
            ->disable_flag_override();
    }
}

std::optional<std::string> CheckPlayFlagCombination(const PlayFlags& flags) {
    if (flags.files.size() != 1) {
        return flags.files.empty() ? "FILE is missing" : "only one FILE, please";
    }
    const int destinations =
        static_cast<int>(flags.tcp.has_value()) + static_cast<int>(flags.udp.has_value()) +
        static_cast<int>(flags.listen.has_value()) + static_cast<int>(flags.serialPort.has_value());
    if (destinations > 1) {
        return "give at most one of --tcp, --udp, --listen or --serial";
    }
    if ((flags.speed || flags.maxGap) && !flags.RecordedPace()) {
        return "--speed and --max-gap go with --pace recorded";
    }
    if ((flags.flow || flags.bAllowGaps) && !flags.RecordedPace()) {
        return "--flow and --allow-gaps go with --pace recorded and a packet capture";
    }
    if ((flags.ttl || flags.multicastInterface) && !flags.udp) {
        return "--ttl and --interface go with --udp";
    }
    return std::nullopt;
}
