// Serial ports on Linux: termios2 on a descriptor. <termios.h> is deliberately not included:
// its struct termios clashes with the kernel's, and only the kernel's termios2 can carry the
// rates that have no B-constant (14400, 56000, 128000, 256000, ...).
#include "platform/SerialPort.h"

#include <asm/termbits.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>

#include "platform/SerialPortRules.h"
#include "platform/SystemError.h"
#include "platform/UserFolders.h"
#include "platform/WakeEvent.h"

namespace {

// The code of the port operation that just failed. The port is held by someone else when our
// lock (EWOULDBLOCK) or the terminal's exclusive flag (EBUSY) refuses us; EACCES is a
// permission problem and EIO a device that failed, neither of them "already used".
uint32_t LastPortError() {
    return SerialErrorOf(LastSystemError());
}

int Descriptor(intptr_t handle) {
    return static_cast<int>(handle);
}

struct BaudConstant {
    uint32_t rate;
    tcflag_t constant;
};
// Rates the driver knows by constant; everything else goes through BOTHER.
constexpr BaudConstant kBaudConstants[] = {
    {50, B50},         {75, B75},         {110, B110},        {134, B134},       {150, B150},
    {200, B200},       {300, B300},       {600, B600},        {1200, B1200},     {1800, B1800},
    {2400, B2400},     {4800, B4800},     {9600, B9600},      {19200, B19200},   {38400, B38400},
    {57600, B57600},   {115200, B115200}, {230400, B230400},  {460800, B460800}, {500000, B500000},
    {576000, B576000}, {921600, B921600}, {1000000, B1000000}};

tcflag_t BaudFlag(uint32_t rate) {
    for (const BaudConstant& entry : kBaudConstants) {
        if (entry.rate == rate) {
            return entry.constant;
        }
    }
    return BOTHER;
}

constexpr tcflag_t kFramingBits = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB;

tcflag_t FramingFlags(const SerialLineSettings& settings) {
    static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    tcflag_t flags = kSizes[settings.dataBits - 5];
    switch (settings.parity) {
        case 1:  // ODD
            flags |= PARENB | PARODD;
            break;
        case 2:  // EVEN
            flags |= PARENB;
            break;
        case 3:  // MARK: the parity bit always 1
            flags |= PARENB | CMSPAR | PARODD;
            break;
        case 4:  // SPACE: the parity bit always 0
            flags |= PARENB | CMSPAR;
            break;
        default:
            break;
    }
    if (settings.stopBits != 0) {
        // The line has one long stop: 2 bits, or 1.5 when the character has 5 data bits.
        flags |= CSTOPB;
    }
    return flags;
}

}  // namespace

std::string SerialDevicePath(const std::string& portName) {
    const int number = ComNumberOf(portName);
    if (number < 0) {
        return portName;
    }
    const std::string configured = ProgramSettingsFolder() + "/ports/COM" + std::to_string(number);
    struct stat entry {};
    // The entry counts even when its link leads nowhere: the user chose that device, and its
    // absence must show as a missing port rather than as some other line.
    if (::lstat(configured.c_str(), &entry) == 0) {
        return configured;
    }
    if (number == 0) {
        return {};
    }
    return "/dev/ttyS" + std::to_string(number - 1);
}

CSerialPort::~CSerialPort() {
    Close();
}

uint32_t CSerialPort::Open(const std::string& devicePath) {
    Close();
    if (devicePath.empty()) {
        return SerialErrorOf(SystemErrorFromCode(ENOENT));
    }
    const int fd = ::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return LastPortError();
    }
    // Exclusive like a Windows port: the advisory lock keeps out every cooperating program
    // (root included), the terminal's exclusive flag keeps out everyone else but root.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ioctl(fd, TIOCEXCL) != 0) {
        const int error = errno;
        ::close(fd);
        return SerialErrorOf(SystemErrorFromCode(static_cast<uint32_t>(error)));
    }
    m_hPort = fd;
    return 0;
}

void CSerialPort::Close() {
    if (m_hPort < 0) {
        return;
    }
    // The exclusive flag belongs to the terminal, not to this descriptor: it would outlive us
    // while anyone else still holds the device open.
    ::ioctl(Descriptor(m_hPort), TIOCNXCL);
    ::close(Descriptor(m_hPort));
    m_hPort = -1;
}

uint32_t CSerialPort::Configure(const SerialLineSettings& settings) {
    if (m_hPort < 0) {
        return SerialErrorOf(SystemErrorFromCode(EBADF));
    }
    if (!IsAcceptedFraming(settings)) {
        return SerialErrorOf(SystemErrorFromCode(EINVAL));
    }
    const int fd = Descriptor(m_hPort);
    termios2 line{};
    if (::ioctl(fd, TCGETS2, &line) != 0) {
        return LastPortError();
    }
    // Raw: bytes pass unchanged in both directions, as they do on Windows.
    line.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                           ICRNL | IUCLC | IXON | IXOFF | IXANY | IMAXBEL);
    line.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    line.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    // Windows ignores the carrier line; without CLOCAL a dropped carrier would hang the port up.
    line.c_cflag |= CREAD | CLOCAL;
    line.c_cflag &= ~static_cast<tcflag_t>(kFramingBits);
    line.c_cflag |= FramingFlags(settings);
    // A rate of 0 (an empty baud field) leaves the speed as it is: handing the driver 0 would
    // drop the modem lines, that is hang the line up, instead of setting a speed.
    if (settings.baudRate != 0) {
        line.c_cflag &= ~static_cast<tcflag_t>(CBAUD | CIBAUD);
        line.c_cflag |= BaudFlag(settings.baudRate);
        line.c_ispeed = settings.baudRate;
        line.c_ospeed = settings.baudRate;
    }
    // Reads return at once with what is there.
    line.c_cc[VMIN] = 0;
    line.c_cc[VTIME] = 0;
    line.c_cc[VSTART] = 17;
    line.c_cc[VSTOP] = 19;
    if (::ioctl(fd, TCSETS2, &line) != 0) {
        return LastPortError();
    }
    return 0;
}

void CSerialPort::Purge() {
    if (m_hPort >= 0) {
        ::ioctl(Descriptor(m_hPort), TCFLSH, TCIOFLUSH);
    }
}

size_t CSerialPort::InputCount() const {
    int count = 0;
    if (m_hPort < 0 || ::ioctl(Descriptor(m_hPort), FIONREAD, &count) != 0 || count < 0) {
        return 0;
    }
    return static_cast<size_t>(count);
}

size_t CSerialPort::OutputCount() const {
    int count = 0;
    if (m_hPort < 0 || ::ioctl(Descriptor(m_hPort), TIOCOUTQ, &count) != 0 || count < 0) {
        return 0;
    }
    return static_cast<size_t>(count);
}

size_t CSerialPort::Read(void* buffer, size_t capacity) {
    if (m_hPort < 0 || capacity == 0) {
        return 0;
    }
    for (;;) {
        const ssize_t count = ::read(Descriptor(m_hPort), buffer, capacity);
        if (count > 0) {
            return static_cast<size_t>(count);
        }
        if (count < 0 && errno == EINTR) {
            continue;
        }
        return 0;
    }
}

size_t CSerialPort::Write(const void* data, size_t length, uint32_t timeoutMs,
                          const CWakeEvent& cancel) {
    if (m_hPort < 0) {
        return 0;
    }
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    const auto* bytes = static_cast<const char*>(data);
    size_t written = 0;
    while (written < length && !cancel.IsSet()) {
        const ssize_t count = ::write(Descriptor(m_hPort), bytes + written, length - written);
        if (count > 0) {
            written += static_cast<size_t>(count);
            continue;
        }
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            break;
        }
        // The driver is full: wait for room, for the deadline, or for the channel to close.
        int wait = -1;
        if (timeoutMs != 0) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) {
                break;
            }
            wait = left.count() > INT_MAX ? INT_MAX : static_cast<int>(left.count());
        }
        pollfd entries[2] = {{Descriptor(m_hPort), POLLOUT, 0},
                             {static_cast<int>(cancel.NativeHandle()), POLLIN, 0}};
        const int ready = ::poll(entries, 2, wait);
        if (ready < 0 && errno != EINTR) {
            break;
        }
        if ((entries[0].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0 &&
            (entries[0].revents & POLLOUT) == 0) {
            break;
        }
    }
    return written;
}

SerialWaitResult CSerialPort::WaitForData(const CWakeEvent& wake) const {
    pollfd entries[2] = {{Descriptor(m_hPort), POLLIN, 0},
                         {static_cast<int>(wake.NativeHandle()), POLLIN, 0}};
    for (;;) {
        const int ready = ::poll(entries, 2, -1);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return SerialWaitResult::kHangUp;
        }
        if ((entries[1].revents & POLLIN) != 0) {
            return SerialWaitResult::kWoken;
        }
        // A device that has gone reports itself readable, but nothing can be read from it.
        const bool trouble = (entries[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
        if ((entries[0].revents & POLLIN) != 0 && (!trouble || InputCount() != 0)) {
            return SerialWaitResult::kDataReady;
        }
        return SerialWaitResult::kHangUp;
    }
}
