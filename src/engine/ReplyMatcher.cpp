#include "engine/ReplyMatcher.h"

bool CReplyMatcher::Feed(std::string_view bytes) {
    if (m_text.empty() || bytes.empty()) {
        return false;
    }
    m_window.append(bytes);
    if (m_window.find(m_text) != std::string::npos) {
        m_window.clear();
        return true;
    }
    const std::size_t keep = m_text.size() - 1;
    if (m_window.size() > keep) {
        m_window.erase(0, m_window.size() - keep);
    }
    return false;
}
