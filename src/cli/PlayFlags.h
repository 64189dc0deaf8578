#pragma once
// The flags of a play run, declared once for the play command and for every lane of a rig (whose
// keys are these flags' names): the file, where the lines go (--tcp, --udp, --serial, --listen),
// the pace (--delay, or --pace recorded with --speed and --max-gap, and for a packet capture
// --flow and --allow-gaps), --loop, --count, the serial
// line settings, and the multicast settings (--ttl, --interface). Main thread only; values the
// user mistyped are refused by the parser with a message naming the flag.
#include <CLI/CLI.hpp>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/CommandFlags.h"

// The range of --speed: a thousand times slower than the log to a million times faster (a year
// of log time in about half a minute).
inline constexpr double kLowestSpeed = 0.001;
inline constexpr double kHighestSpeed = 1000000;

struct PlayFlags {
    std::vector<std::string> files;
    std::optional<Endpoint> tcp;
    std::optional<Endpoint> udp;
    std::optional<Endpoint> listen;  // host empty: every interface
    std::optional<int> serialPort;
    LineSettingFlags lineSettings;
    std::optional<std::uint32_t> delay;
    std::optional<std::uint64_t> count;
    bool bLoop = false;
    bool bQuiet = false;
    std::optional<std::string> pace;  // "delay" or "recorded"
    std::optional<double> speed;
    std::optional<std::uint32_t> maxGap;
    // A packet capture played at its recorded pace: which flow, and whether holes are played over.
    std::optional<std::string> flow;
    bool bAllowGaps = false;
    std::optional<int> ttl;
    std::optional<std::string> multicastInterface;
    // Talking with the device: the answer to wait for after each line (as typed, with its C
    // escapes), the longest wait, and the pause between the bytes of a line.
    std::optional<std::string> waitFor;
    std::optional<std::uint32_t> replyTimeout;
    std::optional<std::uint32_t> charDelay;

    bool RecordedPace() const { return pace && *pace == "recorded"; }
};

// Declares the flags on `app`, FILE as its positional word; --quiet only with `bWithQuiet`.
void AddPlayFlags(CLI::App& app, PlayFlags& flags, bool bWithQuiet);

// Refusals that concern the flags alone (two destinations, a setting without its mode): the
// message, or empty when the flags go together.
std::optional<std::string> CheckPlayFlagCombination(const PlayFlags& flags);
