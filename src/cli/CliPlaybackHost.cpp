#include "cli/CliPlaybackHost.h"

#include <cmath>

CCliPlaybackHost::CCliPlaybackHost(const OptionRecord& options, MessageCallback onMessage)
    : CCliPlaybackHost(std::make_shared<const OptionRecord>(options), std::move(onMessage)) {}

CCliPlaybackHost::CCliPlaybackHost(std::shared_ptr<const OptionRecord> options,
                                   MessageCallback onMessage)
    : m_options(std::move(options)), m_onMessage(std::move(onMessage)) {}

void CCliPlaybackHost::ShowRecordStamp(const std::string& stamp) {
    std::lock_guard lock(m_mutex);
    m_status.stamp = stamp;
}

void CCliPlaybackHost::ShowCurrentLine(int index, int percent) {
    std::lock_guard lock(m_mutex);
    m_status.index = index;
    m_status.percent = percent;
}

void CCliPlaybackHost::ShowRewind(int /*lastIndex*/) {
    std::lock_guard lock(m_mutex);
    ++m_status.passes;
    if (m_onLine) {
        m_onLine(m_status);
    }
}

void CCliPlaybackHost::OnLinesSent(std::uint64_t nLines, std::uint64_t nLost) {
    std::lock_guard lock(m_mutex);
    m_status.linesSent = nLines;
    m_status.linesLost = nLost;
    m_status.bStarted = true;
    if (m_onLine) {
        m_onLine(m_status);
    }
}

void CCliPlaybackHost::OnLinePaced(std::chrono::steady_clock::duration interval,
                                   std::chrono::steady_clock::duration plannedGap) {
    const double deviation =
        std::fabs(std::chrono::duration<double, std::micro>(interval - plannedGap).count());
    std::lock_guard lock(m_mutex);
    m_cadence.Add(deviation);
}

void CCliPlaybackHost::OnLineAnswered(bool bAnswered,
                                      std::chrono::steady_clock::duration replyTime) {
    std::lock_guard lock(m_mutex);
    if (bAnswered) {
        m_replyTimes.Add(std::chrono::duration<double, std::micro>(replyTime).count());
    } else {
        ++m_nUnanswered;
    }
}

void CCliPlaybackHost::OnRunEnded(std::uint64_t /*runId*/) {
    std::lock_guard lock(m_mutex);
    m_status.bEnded = true;
    m_cvEnded.notify_all();
}

void CCliPlaybackHost::ShowMessage(const std::string& text, const std::string& /*caption*/) {
    std::lock_guard lock(m_mutex);
    if (m_onMessage) {
        m_onMessage(text);
    }
}

void CCliPlaybackHost::ShowPayloadCut(const std::string& text) {
    std::lock_guard lock(m_mutex);
    if (m_onMessage) {
        m_onMessage(text);
    }
}

bool CCliPlaybackHost::WaitForEnd(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    return m_cvEnded.wait_for(lock, timeout, [this] { return m_status.bEnded; });
}

CCliPlaybackHost::Status CCliPlaybackHost::Snapshot() {
    std::lock_guard lock(m_mutex);
    return m_status;
}

ReplyFigures CCliPlaybackHost::Replies() {
    std::lock_guard lock(m_mutex);
    return {m_replyTimes.Count(), m_nUnanswered, m_replyTimes.MeanMs(), m_replyTimes.P99Ms()};
}

CCliPlaybackHost::Cadence CCliPlaybackHost::CadenceFigures() {
    std::lock_guard lock(m_mutex);
    return {m_cadence.Count(), m_cadence.MeanMs(), m_cadence.P99Ms()};
}
