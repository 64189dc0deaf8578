#include "engine/LineNotices.h"

#include "engine/PlaybackHost.h"

CLineNotices::CLineNotices(CPlaybackHost& host)
    : m_host(host),
      m_interval(std::chrono::duration_cast<Clock::duration>(host.LineNoticeInterval())) {}

void CLineNotices::BeforeSend(int index, int percent, bool bCoalesce, const std::string* pStamp) {
    m_nIndex = index;
    m_nPercent = percent;
    m_pStamp = pStamp;
    m_bTelling = true;
    if (bCoalesce && m_interval.count() > 0) {
        const Clock::time_point now = Clock::now();
        if (m_bToldOnce && now - m_lastTold < m_interval) {
            m_bTelling = false;
            m_bLineUntold = true;
            if (pStamp != nullptr) {
                m_strUntoldStamp = *pStamp;
            }
            return;
        }
        m_lastTold = now;
        m_bToldOnce = true;
    }
    if (pStamp != nullptr) {
        m_host.ShowRecordStamp(*pStamp);
    }
    m_host.ShowCurrentLine(index, percent);
    m_bLineUntold = false;
}

void CLineNotices::AfterSend(bool delivered) {
    ++m_nLines;
    if (!delivered) {
        ++m_nLost;
    }
    if (m_bTelling) {
        m_host.OnLinesSent(m_nLines, m_nLost);
        m_bTotalsUntold = false;
    } else {
        m_bTotalsUntold = true;
    }
}

void CLineNotices::Flush() {
    if (m_bLineUntold) {
        if (m_pStamp != nullptr) {
            m_host.ShowRecordStamp(m_strUntoldStamp);
        }
        m_host.ShowCurrentLine(m_nIndex, m_nPercent);
        m_bLineUntold = false;
    }
    if (m_bTotalsUntold) {
        m_host.OnLinesSent(m_nLines, m_nLost);
        m_bTotalsUntold = false;
    }
}
