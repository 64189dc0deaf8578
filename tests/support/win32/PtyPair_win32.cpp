// The serial line pair under Wine: a socat-joined pair of pseudo-terminals (see SocatLine.h). The
// line settings are read and set through the line's own open of the program's end with
// GetCommState and SetCommState: the DCB, as a Windows program sees the port.
#include <memory>

#include "PtyPair.h"
#include "SocatLine.h"
#include "TestSystem.h"

struct PtyPair::Impl {
    CSocatLine line;
    HANDLE holder = INVALID_HANDLE_VALUE;
};

PtyPair::PtyPair() : m_impl(std::make_unique<Impl>()) {}

PtyPair::~PtyPair() {
    ReleaseHold();
}

bool PtyPair::IsOpen() const {
    return m_impl->line.ProgramEndHandle() != INVALID_HANDLE_VALUE;
}

const std::string& PtyPair::SlavePath() const {
    return m_impl->line.ProgramEnd();
}

void PtyPair::LinkAsComPort(int n) const {
    m_impl->line.LinkAs(n);
}

void PtyPair::MakeComPortAbsent(int n) {
    CSocatLine::RemoveComPorts(n, n);
}

void PtyPair::MakeComPortsAbsent(int nFirst, int nLast) {
    CSocatLine::RemoveComPorts(nFirst, nLast);
}

void PtyPair::WriteToMaster(std::string_view bytes) const {
    m_impl->line.Write(bytes);
}

std::string PtyPair::ReadFromMaster(size_t count, std::chrono::milliseconds timeout) const {
    return m_impl->line.Read(count, timeout);
}

std::string PtyPair::DrainMaster(std::chrono::milliseconds quiet) const {
    return m_impl->line.Drain(quiet);
}

bool PtyPair::WaitForMasterData(std::chrono::milliseconds timeout) const {
    return m_impl->line.WaitForData(timeout);
}

PtyPair::LineState PtyPair::ReadLineState() const {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    LineState state;
    if (!GetCommState(m_impl->line.ProgramEndHandle(), &dcb)) {
        return state;
    }
    // A pseudo-terminal clears the parity flag it is given, and Wine then reads the DCB's parity
    // as none: only what survives that is shown.
    state.paritySenseVisible = !RunsUnderWine();
    state.outputSpeed = dcb.BaudRate;
    state.inputSpeed = dcb.BaudRate;
    state.dataBits = dcb.ByteSize;
    state.parityEnabled = dcb.Parity != NOPARITY;
    state.parityOdd = dcb.Parity == ODDPARITY || dcb.Parity == MARKPARITY;
    state.parityStick = dcb.Parity == MARKPARITY || dcb.Parity == SPACEPARITY;
    state.longStop = dcb.StopBits != ONESTOPBIT;
    state.hardwareFlowControl = dcb.fOutxCtsFlow || dcb.fRtsControl == RTS_CONTROL_HANDSHAKE;
    state.softwareFlowOut = dcb.fOutX;
    state.softwareFlowIn = dcb.fInX;
    state.startChar = static_cast<unsigned char>(dcb.XonChar);
    state.stopChar = static_cast<unsigned char>(dcb.XoffChar);
    return state;
}

bool PtyPair::CarriesSpeed(uint32_t rate) const {
    const HANDLE port = m_impl->line.ProgramEndHandle();
    DCB before{};
    before.DCBlength = sizeof before;
    if (!GetCommState(port, &before)) {
        return false;
    }
    DCB trial = before;
    trial.BaudRate = rate;
    DCB after{};
    after.DCBlength = sizeof after;
    const bool carried =
        SetCommState(port, &trial) && GetCommState(port, &after) && after.BaudRate == rate;
    SetCommState(port, &before);
    return carried;
}

bool PtyPair::CarriesFraming(int dataBits, int parity, int stopBits) const {
    const HANDLE port = m_impl->line.ProgramEndHandle();
    DCB before{};
    before.DCBlength = sizeof before;
    if (!GetCommState(port, &before)) {
        return false;
    }
    bool carried = true;
    for (int round = 0; round < 2 && carried; ++round) {
        DCB trial{};
        trial.DCBlength = sizeof trial;
        GetCommState(port, &trial);
        trial.ByteSize = static_cast<BYTE>(dataBits);
        trial.Parity = static_cast<BYTE>(parity);
        trial.StopBits = static_cast<BYTE>(stopBits);
        carried = SetCommState(port, &trial) != 0;
    }
    SetCommState(port, &before);
    return carried;
}

void PtyPair::SetHardwareFlowControl(bool on) const {
    const HANDLE port = m_impl->line.ProgramEndHandle();
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    GetCommState(port, &dcb);
    dcb.fOutxCtsFlow = on;
    dcb.fRtsControl = on ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    SetCommState(port, &dcb);
}

bool PtyPair::OpensAreExclusive() {
    return !RunsUnderWine();
}

bool PtyPair::HoldAsAnotherProgram() {
    ReleaseHold();
    if (!OpensAreExclusive()) {
        return false;
    }
    m_impl->holder = CreateFileA(m_impl->line.ProgramEnd().c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
    return m_impl->holder != INVALID_HANDLE_VALUE;
}

void PtyPair::ReleaseHold() {
    if (m_impl->holder != INVALID_HANDLE_VALUE) {
        CloseHandle(m_impl->holder);
        m_impl->holder = INVALID_HANDLE_VALUE;
    }
}
