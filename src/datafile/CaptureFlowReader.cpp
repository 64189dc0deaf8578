#include "datafile/CaptureFlowReader.h"

bool CCaptureFlowReader::Open(const std::string& path, const FlowSelector& selector,
                              bool bAllowGaps) {
    Close();
    if (!LoadCaptureFlow(path, selector, bAllowGaps, m_flow, m_strError)) {
        m_flow = CaptureFlow{};
        return false;
    }
    return true;
}

ReadLineResult CCaptureFlowReader::ReadRecord(std::string& bytes, std::int64_t& offsetNs) {
    if (m_nNext >= m_flow.records.size()) {
        bytes.clear();
        offsetNs = 0;
        return ReadLineResult::EndOfFile;
    }
    const FlowRecord& record = m_flow.records[m_nNext++];
    bytes = record.bytes;
    offsetNs = record.timeNs - m_flow.records.front().timeNs;
    return ReadLineResult::Line;
}

std::optional<std::int64_t> CCaptureFlowReader::NanosecondsToNext() const {
    if (m_nNext == 0 || m_nNext >= m_flow.records.size()) {
        return std::nullopt;
    }
    return m_flow.records[m_nNext].timeNs - m_flow.records[m_nNext - 1].timeNs;
}

void CCaptureFlowReader::Close() {
    m_flow = CaptureFlow{};
    m_nNext = 0;
    m_strError.clear();
}
