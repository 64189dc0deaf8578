#pragma once
// One lane of a rig, or the one lane of `play --listen`, as the lanes' event loop plays it: what
// it plays (the request a run thread would get), where the lines go (a TCP connection it opens,
// UDP datagrams, or the devices that connect to its listener), its pace, and when its first line
// goes out. Plain data, filled by the front end before the lanes start.
#include <chrono>
#include <cstdint>
#include <optional>

#include "engine/PlaybackRequest.h"

class CLaneListener;
class CPlaybackHost;

struct LanePlan {
    enum class Kind { kTcp, kUdp, kListen };
    Kind kind = Kind::kTcp;
    // The file and how to play it; `pSink` is not used.
    PlaybackRequest request;
    // kTcp, kUdp: the receiving device (host byte order).
    std::uint32_t address = 0;
    std::uint16_t port = 0;
    // kListen: the listener, already listening; it outlives the lanes.
    CLaneListener* pListener = nullptr;
    // The pause after every line (at the recorded pace the shortest pause), and whether the file
    // starts again after its last line.
    std::chrono::milliseconds delay{0};
    bool bLoop = false;
    // When the first line goes out: `startAfter` from the start of the lanes when given, else
    // `startFraction` (0 to 1) of the pause after the first line, so that lanes started together
    // do not all send at the same instant. A listen lane starts when its first device connects.
    std::optional<std::chrono::milliseconds> startAfter;
    double startFraction = 0;
    // Told of the lane's lines, cadence, messages and end, as a run's host is; outlives the lanes.
    CPlaybackHost* pHost = nullptr;
};
