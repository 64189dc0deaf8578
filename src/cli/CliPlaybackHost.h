#pragma once
// The command line's side of a run, for play and for each lane of a rig: the fixed options, the
// line and record being sent, the counts of lines sent and lost and of passes, the cadence (how
// far each interval between paced lines strayed from its planned pause), and the notice that the
// run has ended. A play's live line and a rig's status lines are drawn from it.
//
// Threads: the playback thread makes the CPlaybackHost calls; the command's thread reads
// Snapshot, Cadence and waits for the end. The line callback and the message callback run on the
// playback thread under the host's lock and must return promptly. Nothing here fails.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "cli/DeviationStats.h"
#include "cli/ReplyFigures.h"
#include "engine/PlaybackHost.h"

class CCliPlaybackHost : public CPlaybackHost {
  public:
    struct Status {
        int index = 0;  // the line being sent (0-based, in the current pass)
        int percent = 0;
        std::uint64_t linesSent = 0;  // every pass counted
        std::uint64_t linesLost = 0;
        std::uint64_t passes = 1;
        std::string stamp;      // at the recorded pace: the stamp of the record being sent
        bool bStarted = false;  // a line has been sent
        bool bEnded = false;

        // Lines were sent and not one of them reached the device: the run did not do its job,
        // whatever it walked.
        bool ReachedNoDevice() const { return linesSent > 0 && linesLost == linesSent; }
    };
    struct Cadence {
        std::uint64_t intervals = 0;
        double meanMs = 0;
        double p99Ms = 0;
    };
    using LineCallback = std::function<void(const Status&)>;
    using MessageCallback = std::function<void(const std::string&)>;

    CCliPlaybackHost(const OptionRecord& options, MessageCallback onMessage);
    // With a record shared by many hosts (a rig's lanes play with fixed options).
    CCliPlaybackHost(std::shared_ptr<const OptionRecord> options, MessageCallback onMessage);

    // Called after every line the host is told of (a few times a second at most at delay 0),
    // and at a rewind.
    void SetLineCallback(LineCallback onLine) { m_onLine = std::move(onLine); }

    OptionRecord CurrentOptions() override { return *m_options; }
    std::uint64_t OptionsChangeCount() override { return 0; }  // fixed for the whole run
    // The live lines are redrawn a few times a second at most; the last line and the totals
    // come in any case.
    std::chrono::milliseconds LineNoticeInterval() override {
        return std::chrono::milliseconds(50);
    }
    void ShowRunStart() override {}
    void ShowRecordStamp(const std::string& stamp) override;
    void ShowCurrentLine(int index, int percent) override;
    void ShowRewind(int lastIndex) override;
    void OnLinesSent(std::uint64_t nLines, std::uint64_t nLost) override;
    void OnLinePaced(std::chrono::steady_clock::duration interval,
                     std::chrono::steady_clock::duration plannedGap) override;
    void OnLineAnswered(bool bAnswered, std::chrono::steady_clock::duration replyTime) override;
    void OnRunEnded(std::uint64_t runId) override;
    void ShowMessage(const std::string& text, const std::string& caption) override;
    // Goes to the message callback, as a message the user must see.
    void ShowPayloadCut(const std::string& text) override;

    // Waits at most `timeout` for the end of the run; true when it has ended.
    bool WaitForEnd(std::chrono::milliseconds timeout);
    Status Snapshot();
    Cadence CadenceFigures();
    ReplyFigures Replies();

  private:
    const std::shared_ptr<const OptionRecord> m_options;
    MessageCallback m_onMessage;
    LineCallback m_onLine;
    std::mutex m_mutex;
    std::condition_variable m_cvEnded;
    Status m_status;               // under m_mutex
    CDeviationStats m_cadence;     // under m_mutex
    CDeviationStats m_replyTimes;  // under m_mutex, as is the count below
    std::uint64_t m_nUnanswered = 0;
};
