#include "datafile/CaptureFlowReader.h"

#include <utility>

bool CCaptureFlowReader::Open(const std::string& path, const FlowSelector& selector,
                              bool bAllowGaps) {
    Close();
    auto flow = std::make_shared<CaptureFlow>();
    if (!LoadCaptureFlow(path, selector, bAllowGaps, *flow, m_strError)) {
        return false;
    }
    Play(std::move(flow));
    return true;
}

void CCaptureFlowReader::Play(std::shared_ptr<const CaptureFlow> flow) {
    m_flow = std::move(flow);
    m_nNext = 0;
    m_strError.clear();
}

const FlowRecord* CCaptureFlowReader::Next() {
    if (m_flow == nullptr || m_nNext >= m_flow->records.size()) {
        return nullptr;
    }
    return &m_flow->records[m_nNext++];
}

std::optional<std::int64_t> CCaptureFlowReader::NanosecondsToNext() const {
    if (m_flow == nullptr || m_nNext == 0 || m_nNext >= m_flow->records.size()) {
        return std::nullopt;
    }
    return m_flow->records[m_nNext].timeNs - m_flow->records[m_nNext - 1].timeNs;
}

void CCaptureFlowReader::Close() {
    m_flow.reset();
    m_nNext = 0;
    m_strError.clear();
}

const CaptureFlow& CCaptureFlowReader::Flow() const {
    static const CaptureFlow kNone;
    return m_flow != nullptr ? *m_flow : kNone;
}
