// A line whose far end goes away under Wine: ending socat closes both pseudo-terminals' masters.
#include <memory>

#include "HangupPty.h"
#include "SocatLine.h"

struct HangupPty::Impl {
    CSocatLine line;
};

HangupPty::HangupPty() : m_impl(std::make_unique<Impl>()) {}

HangupPty::~HangupPty() {
    Hangup();
}

bool HangupPty::IsOpen() const {
    return m_impl->line.ProgramEndHandle() != INVALID_HANDLE_VALUE;
}

void HangupPty::LinkAsComPort(int n) const {
    m_impl->line.LinkAs(n);
}

void HangupPty::Write(std::string_view bytes) const {
    m_impl->line.Write(bytes);
}

std::string HangupPty::Read(std::size_t count, std::chrono::milliseconds timeout) const {
    return m_impl->line.Read(count, timeout);
}

void HangupPty::Hangup() {
    m_impl->line.End();
}
