#pragma once
// Everything a play run needs found out before anything is sent, for the play command and for
// each lane of a rig: the stored options with the flags applied, the file (regular, readable, its
// kind and its count of lines or records), every host resolved, the serial port tried with its
// line settings, and in listen mode the listening socket opened. A refusal says why, with the
// exit code it calls for (2 for flags that do not fit, 1 for the world refusing).
// Main thread only; failures are results, nothing throws.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "cli/PlayFlags.h"
#include "engine/OutputPlayback.h"
#include "lanes/LaneListener.h"
#include "lanes/LanePlan.h"
#include "options/OptionRecord.h"

struct PlayPlan {
    std::string path;  // FILE, as found (relative to the rig file's folder for a lane)
    OptionRecord options;
    PlaybackRequest request;
    std::uint64_t count = 0;  // --count, 0 for none
    // Where the lines go, for people: "tcp 127.0.0.1:9100", "udp 239.1.2.3:9100",
    // "listen 0.0.0.0:9100" (the port the system chose), "serial COM5".
    std::string target;
    // Listen mode: the listening socket, already listening (the lane's transport), and its
    // address with the port the system chose ("0.0.0.0:9100").
    std::unique_ptr<CLaneListener> listener;
    std::string listenAddress;
    // The recorded pace: the stamps of the first and last record of the log or the capture's
    // flow ("YYYY-MM-DD HH:MM:SS", a capture's with ".uuuuuu" in UTC).
    struct RecordedSpan {
        std::string firstStamp;
        std::string lastStamp;
    };
    std::optional<RecordedSpan> recorded;
};

struct PlayRefusal {
    int exitCode = 1;
    std::string message;
};

// Checks `flags` against the stored options and the world and fills `plan`. A relative FILE is
// taken from `fileFolder` when that is not empty. `command` names the caller in traces.
std::optional<PlayRefusal> PreparePlay(const PlayFlags& flags, const std::string& fileFolder,
                                       const char* command, PlayPlan& plan);

// The lane that plays `plan` on the lanes' event loop (TCP, UDP or listening; not a serial port),
// telling `host`.
LanePlan MakeLanePlan(const PlayPlan& plan, CPlaybackHost& host);
