#pragma once
// What rig shows while its lanes play: on a terminal a block of live status lines, one per lane
// (at most kRigLiveLanes, then one line for the rest), rewritten in place a few times a second,
// with messages printed above it; elsewhere only the messages. And at the end the summary: one
// row per lane, or for a rig of more than kRigTableLanes lanes a digest (totals, the spread of
// the lanes' cadence, the worst lanes), and the report of every lane as JSON.
// Threads: any thread (a lane's message comes on its playback thread); the object locks itself.
// Nothing here fails.
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "cli/ReplyFigures.h"

inline constexpr std::size_t kRigLiveLanes = 20;
// Up to this many lanes the summary has a row per lane; beyond, a digest.
inline constexpr std::size_t kRigTableLanes = 50;

// One lane's row of the summary table.
struct RigSummaryRow {
    int lane = 0;
    std::string target;  // "tcp 127.0.0.1:9101"
    std::string file;
    std::uint64_t sent = 0;
    std::uint64_t lost = 0;
    std::uint64_t intervals = 0;  // paced intervals measured; 0: no cadence to tell
    double meanMs = 0;            // mean and p99 of |interval - planned pause|
    double p99Ms = 0;
    std::optional<std::uint64_t> connections;  // TCP connections made or taken; none for others
    std::string failure;                       // why the lane did not play as asked
    std::optional<ReplyFigures> replies;       // a lane that waits for the device's answers
};

// The table: a heading, then one aligned row per lane; cadence "-" for a lane with no pauses.
std::string FormatRigSummary(const std::vector<RigSummaryRow>& rows);
// The digest of many lanes: the count and totals (with the answers, when lanes wait for them:
// "replies: 980 answered, 20 unanswered, over 10 lanes that wait for answers"), the spread of
// the lanes' p99 deviation
// (median, 99th percentile and worst, nearest rank, over the lanes that had pauses), and the
// table of the ten lanes with the largest p99 deviation.
std::string FormatRigDigest(const std::vector<RigSummaryRow>& rows);
// Every lane's row as a JSON document: {"lanes": [{"lane": 1, "target": ..., "file": ...,
// "sent": ..., "not_delivered": ..., "mean_deviation_ms": ..., "p99_deviation_ms": ...,
// "connections": ..., "failure": ..., "answered": ..., "unanswered": ..., "mean_reply_ms": ...,
// "p99_reply_ms": ...}, ...]}; the deviations, connections, failure and replies null where the
// lane has none (the reply times also where no line was answered). One line, ending with a line
// feed.
std::string FormatRigReport(const std::vector<RigSummaryRow>& rows);

class CRigDisplay {
  public:
    CRigDisplay(std::ostream& err, bool bLive) : m_err(err), m_bLive(bLive) {}

    // Rewrites the block with these lines (one per lane, the first of `nLanes`; the others are
    // counted on one line).
    void Draw(const std::vector<std::string>& lines, std::size_t nLanes);
    // Prints one message line above the block.
    void Message(const std::string& text);
    // Removes the block, for what follows it.
    void Clear();

  private:
    void EraseBlock();
    void WriteBlock();

    std::ostream& m_err;
    const bool m_bLive;
    std::mutex m_mutex;
    std::vector<std::string> m_lines;  // as last drawn
    std::size_t m_nShown = 0;          // lines of the block on the terminal now
};
