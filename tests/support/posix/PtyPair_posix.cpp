// <termios.h> (pulled in by <pty.h>) and the kernel's termios2 cannot meet in one file, so the
// pair is opened through a declaration of openpty alone.
#include <asm/termbits.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <stdexcept>

#include "PtyPair.h"
#include "platform/UserFolders.h"

extern "C" int openpty(int* amaster, int* aslave, char* name, const void* termp, const void* winp);

namespace {
uint32_t SpeedOfConstant(tcflag_t constant) {
    struct Entry {
        tcflag_t constant;
        uint32_t speed;
    };
    static constexpr Entry kTable[] = {
        {B0, 0},           {B50, 50},         {B75, 75},         {B110, 110},
        {B134, 134},       {B150, 150},       {B200, 200},       {B300, 300},
        {B600, 600},       {B1200, 1200},     {B1800, 1800},     {B2400, 2400},
        {B4800, 4800},     {B9600, 9600},     {B19200, 19200},   {B38400, 38400},
        {B57600, 57600},   {B115200, 115200}, {B230400, 230400}, {B460800, 460800},
        {B500000, 500000}, {B576000, 576000}, {B921600, 921600}, {B1000000, 1000000}};
    for (const Entry& entry : kTable) {
        if (entry.constant == constant) {
            return entry.speed;
        }
    }
    return 0;
}
}  // namespace

struct PtyPair::Impl {
    int master = -1;
    int slave = -1;
    int holder = -1;  // another opener of the slave, holding its lock
    std::string slavePath;
};

PtyPair::PtyPair() : m_impl(std::make_unique<Impl>()) {
    char name[128] = {};
    if (openpty(&m_impl->master, &m_impl->slave, name, nullptr, nullptr) != 0) {
        throw std::runtime_error("openpty failed");
    }
    m_impl->slavePath = name;
    ::fcntl(m_impl->master, F_SETFL, ::fcntl(m_impl->master, F_GETFL) | O_NONBLOCK);
    ::fcntl(m_impl->master, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_impl->slave, F_SETFD, FD_CLOEXEC);
}

PtyPair::~PtyPair() {
    ReleaseHold();
    if (m_impl->slave >= 0) {
        ::close(m_impl->slave);
    }
    if (m_impl->master >= 0) {
        ::close(m_impl->master);
    }
}

bool PtyPair::IsOpen() const {
    return m_impl->master >= 0 && m_impl->slave >= 0;
}

const std::string& PtyPair::SlavePath() const {
    return m_impl->slavePath;
}

void PtyPair::MakeComPortAbsent(int n) {
    const std::filesystem::path folder = ProgramSettingsFolder() + "/ports";
    std::filesystem::create_directories(folder);
    const std::filesystem::path link = folder / ("COM" + std::to_string(n));
    std::filesystem::remove(link);
    std::filesystem::create_symlink(folder / "unplugged", link);
}

void PtyPair::MakeComPortsAbsent(int nFirst, int nLast) {
    for (int n = nFirst; n <= nLast; ++n) {
        MakeComPortAbsent(n);
    }
}

bool PtyPair::CarriesSpeed(uint32_t /*rate*/) const {
    return true;  // any speed, through termios2
}

bool PtyPair::CarriesFraming(int /*dataBits*/, int /*parity*/, int /*stopBits*/) const {
    return true;
}

bool PtyPair::OpensAreExclusive() {
    return true;
}

bool PtyPair::HoldAsAnotherProgram() {
    ReleaseHold();
    // What a cooperating program leaves: an open of the device with its exclusive lock.
    m_impl->holder = ::open(m_impl->slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_impl->holder < 0) {
        return false;
    }
    if (::flock(m_impl->holder, LOCK_EX | LOCK_NB) != 0) {
        ReleaseHold();
        return false;
    }
    return true;
}

void PtyPair::ReleaseHold() {
    if (m_impl->holder >= 0) {
        ::close(m_impl->holder);
        m_impl->holder = -1;
    }
}

bool PtyPair::WaitForMasterData(std::chrono::milliseconds timeout) const {
    pollfd entry{m_impl->master, POLLIN, 0};
    return ::poll(&entry, 1, static_cast<int>(timeout.count())) == 1;
}

void PtyPair::LinkAsComPort(int n) const {
    const std::filesystem::path folder = ProgramSettingsFolder() + "/ports";
    std::filesystem::create_directories(folder);
    const std::filesystem::path link = folder / ("COM" + std::to_string(n));
    std::filesystem::remove(link);
    std::filesystem::create_symlink(m_impl->slavePath, link);
}

void PtyPair::WriteToMaster(std::string_view bytes) const {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t count = ::write(m_impl->master, bytes.data() + done, bytes.size() - done);
        if (count > 0) {
            done += static_cast<size_t>(count);
            continue;
        }
        if (count < 0 && errno != EAGAIN && errno != EINTR) {
            throw std::runtime_error("write to the pty master failed");
        }
        pollfd entry{m_impl->master, POLLOUT, 0};
        ::poll(&entry, 1, 1000);
    }
}

std::string PtyPair::ReadFromMaster(size_t count, std::chrono::milliseconds timeout) const {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + timeout;
    std::string bytes;
    char buffer[4096];
    while (bytes.size() < count) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            break;
        }
        pollfd entry{m_impl->master, POLLIN, 0};
        if (::poll(&entry, 1, static_cast<int>(left.count())) <= 0) {
            continue;
        }
        const ssize_t got =
            ::read(m_impl->master, buffer, std::min(sizeof buffer, count - bytes.size()));
        if (got > 0) {
            bytes.append(buffer, static_cast<size_t>(got));
        } else if (got < 0 && errno != EAGAIN && errno != EINTR) {
            break;
        }
    }
    return bytes;
}

std::string PtyPair::DrainMaster(std::chrono::milliseconds quiet) const {
    std::string bytes;
    char buffer[4096];
    for (;;) {
        pollfd entry{m_impl->master, POLLIN, 0};
        if (::poll(&entry, 1, static_cast<int>(quiet.count())) <= 0) {
            return bytes;
        }
        const ssize_t got = ::read(m_impl->master, buffer, sizeof buffer);
        if (got > 0) {
            bytes.append(buffer, static_cast<size_t>(got));
        } else if (got < 0 && errno != EAGAIN && errno != EINTR) {
            return bytes;
        }
    }
}

PtyPair::LineState PtyPair::ReadLineState() const {
    termios2 line{};
    if (::ioctl(m_impl->slave, TCGETS2, &line) != 0) {
        throw std::runtime_error("TCGETS2 on the pty slave failed");
    }
    LineState state;
    state.terminalModesVisible = true;
    state.paritySenseVisible = true;
    const tcflag_t speed = line.c_cflag & CBAUD;
    state.speedByNumber = speed == BOTHER;
    state.outputSpeed = state.speedByNumber ? line.c_ospeed : SpeedOfConstant(speed);
    const tcflag_t inputSpeed = (line.c_cflag & CIBAUD) >> IBSHIFT;
    if (inputSpeed == 0) {
        state.inputSpeed = state.outputSpeed;  // 0 means: the same as the output
    } else {
        state.inputSpeed = inputSpeed == BOTHER ? line.c_ispeed : SpeedOfConstant(inputSpeed);
    }
    switch (line.c_cflag & CSIZE) {
        case CS5:
            state.dataBits = 5;
            break;
        case CS6:
            state.dataBits = 6;
            break;
        case CS7:
            state.dataBits = 7;
            break;
        default:
            state.dataBits = 8;
            break;
    }
    state.parityEnabled = (line.c_cflag & PARENB) != 0;
    state.parityOdd = (line.c_cflag & PARODD) != 0;
    state.parityStick = (line.c_cflag & CMSPAR) != 0;
    state.longStop = (line.c_cflag & CSTOPB) != 0;
    state.receiverOn = (line.c_cflag & CREAD) != 0;
    state.ignoresModemLines = (line.c_cflag & CLOCAL) != 0;
    state.hardwareFlowControl = (line.c_cflag & CRTSCTS) != 0;
    state.softwareFlowOut = (line.c_iflag & IXON) != 0;
    state.softwareFlowIn = (line.c_iflag & IXOFF) != 0;
    state.crToNl = (line.c_iflag & ICRNL) != 0;
    state.canonical = (line.c_lflag & ICANON) != 0;
    state.echo = (line.c_lflag & ECHO) != 0;
    state.signals = (line.c_lflag & ISIG) != 0;
    state.outputProcessing = (line.c_oflag & OPOST) != 0;
    state.startChar = line.c_cc[VSTART];
    state.stopChar = line.c_cc[VSTOP];
    state.minChars = line.c_cc[VMIN];
    state.readTime = line.c_cc[VTIME];
    return state;
}

void PtyPair::SetHardwareFlowControl(bool on) const {
    termios2 line{};
    if (::ioctl(m_impl->slave, TCGETS2, &line) != 0) {
        throw std::runtime_error("TCGETS2 on the pty slave failed");
    }
    if (on) {
        line.c_cflag |= CRTSCTS;
    } else {
        line.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
    }
    if (::ioctl(m_impl->slave, TCSETS2, &line) != 0) {
        throw std::runtime_error("TCSETS2 on the pty slave failed");
    }
}
