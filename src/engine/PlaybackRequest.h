#pragma once
// What a run plays and the rules that follow from it alone: the request a front end makes of a
// run (the window's run thread, the command line's, or a lane of a rig), the size of the pieces a
// long line is read in, and the pause after a record played at its recorded pace. Plain data and
// a pure function: any thread; nothing fails.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class CLineSink;
struct CaptureFlow;

// What a run plays. Fixed when the run starts: another file chosen or converted meanwhile does
// not change the kind of the running file or the count that its progress is measured against.
struct PlaybackRequest {
    std::string path;            // full path of the loaded data file
    bool convertedFile = false;  // the file is a converted data file (marker + payload lines)
    std::int32_t lineCount = 0;  // lines in the data list (payload lines for a converted file)
    // 0: no limit. Otherwise the run ends after this many lines (every pass counted), once the
    // pause after the last of them is over, exactly as at the end of the file with looping off.
    std::uint64_t lineLimit = 0;

    // Where the lines go: nullptr for the interface of the options; otherwise a transport of the
    // caller's, which must outlive the run (the options' interface is then not used).
    CLineSink* pSink = nullptr;

    // Datagrams to a multicast group (UDP interface): at most this many router hops, out of the
    // interface with this address (host byte order; 0: the system's routes choose).
    int multicastTtl = 1;
    std::uint32_t multicastInterface = 0;

    // Talking with the device (off for the window): with `waitFor` not empty, after each line
    // that went out the run waits until the device has sent those bytes back, at most
    // `replyTimeout` (a line not answered by then counts as unanswered), and the next line goes
    // at the later of the answer and the pause. Only what arrives after the line was sent
    // answers it. With `charDelay` above 0 each byte of a line goes out on its own, that long
    // after the one before it (over UDP one datagram per byte); the pause follows the last.
    std::string waitFor;
    std::chrono::milliseconds replyTimeout{5000};
    std::chrono::milliseconds charDelay{0};

    // The recorded pace: `path` is a stamped hex log. Each record with a payload is sent as the
    // bytes its payload stands for, every one of them (the 512-byte limit of a converted file's
    // line does not apply; the other lines are passed over like the marker of a converted file),
    // and the pause after it is RecordedPause of the time from its stamp to the next record's.
    // After the last record of the file (and where a stamp cannot be read) the time is taken as
    // 0, so the pause is the delay (capped by `maxGap`). `lineCount` counts the records.
    bool bRecordedPace = false;
    double speed = 1.0;
    std::chrono::milliseconds maxGap{0};
    // At the recorded pace, a flow of a packet capture instead of a stamped log: its records go
    // out each as one send, the pause after it the time to the next record's packet (to the
    // nanosecond) as for a log. Read and checked whole before the run; `path` is the capture.
    std::shared_ptr<const CaptureFlow> capture;
};

// Lines longer than this are read and sent in pieces of this size, so that a run holds a piece in
// memory, never a whole line.
inline constexpr std::size_t kLinePiece = 256 * 1024;

// The longest pause at the recorded pace: a hundred years, longer than anyone waits (a stop ends
// it) yet far from the limits of the clock's arithmetic.
inline constexpr std::chrono::hours kLongestRecordedPause{24 * 365 * 100};

// The pause after a record played at its recorded pace: `logSeconds` (the log's or the capture's
// time from the record to the next one) divided by `speed`, at least `delay`, and with a `maxGap`
// above 0 never longer than `maxGap`, which caps every pause, the delay included. Worked out in
// floating point and clamped to kLongestRecordedPause before it becomes a duration, so that a tiny
// speed or a huge gap saturates instead of wrapping round to a short pause. No time (0 or less) or
// a speed that is not above 0 gives the delay (capped). Pure; any thread.
std::chrono::steady_clock::duration RecordedPause(double logSeconds, double speed,
                                                  std::chrono::milliseconds delay,
                                                  std::chrono::milliseconds maxGap);
