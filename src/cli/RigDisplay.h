#pragma once
// What rig shows while its lanes play: on a terminal a block of live status lines, one per lane
// (at most kRigLiveLanes, then one line for the rest), rewritten in place a few times a second,
// with messages printed above it; elsewhere only the messages. And the summary table, one row
// per lane, at the end.
// Threads: any thread (a lane's message comes on its playback thread); the object locks itself.
// Nothing here fails.
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <mutex>
#include <string>
#include <vector>

inline constexpr std::size_t kRigLiveLanes = 20;

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
};

// The table: a heading, then one aligned row per lane; cadence "-" for a lane with no pauses.
std::string FormatRigSummary(const std::vector<RigSummaryRow>& rows);

class CRigDisplay {
  public:
    CRigDisplay(std::ostream& err, bool bLive) : m_err(err), m_bLive(bLive) {}

    // Rewrites the block with these lines (one per lane).
    void Draw(const std::vector<std::string>& lines);
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
