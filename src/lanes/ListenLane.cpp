#include "lanes/ListenLane.h"

#include <algorithm>
#include <asio/post.hpp>

#include "lanes/LaneListener.h"

namespace {
using Clock = CDeviceQueue::Clock;

// What a device sent is read and thrown away up to this much per device and line; the rest waits
// in the system's buffers, which then slow the device down.
constexpr std::size_t kDiscardPerLine = 64 * 1024;
// How often the time bound of the queues is looked at while the lane waits for them.
constexpr std::chrono::milliseconds kTickPeriod{100};
// After a connection could not be accepted (no descriptor left), the next try.
constexpr std::chrono::milliseconds kAcceptRetry{100};

bool WouldBlock(const asio::error_code& error) {
    return error == asio::error::would_block || error == asio::error::try_again;
}
}  // namespace

CListenLane::CListenLane(asio::io_context& io, const LanePlan& plan,
                         std::shared_ptr<const CPlayFile> file, LaneEvents events)
    : CLane(io, plan, std::move(file), std::move(events)),
      m_listener(*plan.pListener),
      m_acceptor(m_executor),
      m_acceptRetry(m_executor) {}

bool CListenLane::Prepare() {
    asio::error_code error;
    const std::intptr_t handle = m_listener.TakeSocket();
    if (handle == -1) {
        Fail("the listening socket is gone");
        return false;
    }
    m_acceptor.assign(asio::ip::tcp::v4(),
                      static_cast<decltype(m_acceptor)::native_handle_type>(handle), error);
    if (error) {
        Fail("cannot listen: " + error.message());
        return false;
    }
    Accept();
    return true;
}

void CListenLane::Accept() {
    m_acceptor.async_accept([this](const asio::error_code& error, Socket peer) {
        if (!m_acceptor.is_open() || error == asio::error::operation_aborted) {
            return;
        }
        if (error) {
            // Out of descriptors, or a connection reset before it was taken: try again soon.
            m_acceptRetry.expires_after(kAcceptRetry);
            m_acceptRetry.async_wait([this](const asio::error_code& waitError) {
                if (!waitError && m_acceptor.is_open()) {
                    Accept();
                }
            });
            return;
        }
        asio::error_code ignored;
        peer.non_blocking(true, ignored);
        const asio::ip::tcp::endpoint remote = peer.remote_endpoint(ignored);
        if (CharDelayed()) {
            // A byte at a time must go out as such, not gathered into fewer segments.
            peer.set_option(asio::ip::tcp::no_delay(true), ignored);
        }
        auto device = std::make_shared<Device>(std::move(peer));
        device->matcher = CReplyMatcher(m_plan.request.waitFor);
        device->number =
            m_listener.Opened(remote.address().to_string() + ":" + std::to_string(remote.port()));
        ++m_nConnections;
        m_devices.push_back(device);
        Accept();
        if (m_bWaitingForDevice) {
            m_bWaitingForDevice = false;
            ResumeLine();
        }
    });
}

void CListenLane::PollDevices() {
    for (const DevicePtr& device : m_devices) {
        if (!device->bOpen) {
            continue;
        }
        std::size_t taken = 0;
        while (taken < kDiscardPerLine) {
            asio::error_code error;
            const std::size_t count = device->socket.read_some(asio::buffer(m_scratch), error);
            if (WouldBlock(error)) {
                break;
            }
            if (error) {
                CloseDevice(device, false);  // it closed or reset its connection
                break;
            }
            taken += count;
        }
    }
    std::erase_if(m_devices, [](const DevicePtr& device) { return !device->bOpen; });
}

bool CListenLane::Ready() {
    PollDevices();
    if (m_devices.empty()) {
        // No line is played to nobody: the line waits for a device.
        m_bWaitingForDevice = true;
        FlushNotices();
        return false;
    }
    return true;
}

void CListenLane::Transmit() {
    for (const DevicePtr& device : m_devices) {
        device->bInLine = device->bOpen;
        // What it sent before this line (read and dropped by Ready) answers nothing.
        device->matcher.Reset();
        device->bAnswered = false;
    }
    SendPiece();
}

void CListenLane::ReadForAnswer() {
    m_bReading = true;
    for (const DevicePtr& device : std::vector<DevicePtr>(m_devices)) {
        if (device->bOpen && device->bInLine) {
            WaitForAnswerBytes(device);
        }
    }
    CheckAnswers();
}

void CListenLane::WaitForAnswerBytes(const DevicePtr& device) {
    if (device->bWaitArmed || !device->bOpen) {
        return;
    }
    device->bWaitArmed = true;
    device->socket.async_wait(Socket::wait_read, [this, device](const asio::error_code& error) {
        device->bWaitArmed = false;
        if (error || !m_bReading || !device->bOpen || !device->bInLine || device->bAnswered) {
            return;  // what comes later is dropped before the next line
        }
        for (std::size_t taken = 0; taken < kDiscardPerLine;) {
            asio::error_code readError;
            const std::size_t count = device->socket.read_some(asio::buffer(m_scratch), readError);
            if (WouldBlock(readError)) {
                WaitForAnswerBytes(device);
                break;
            }
            if (readError) {
                CloseDevice(device, false);  // it closed or reset its connection
                break;
            }
            taken += count;
            if (device->matcher.Feed(std::string_view(m_scratch.data(), count))) {
                device->bAnswered = true;
                break;
            }
            if (taken >= kDiscardPerLine) {
                WaitForAnswerBytes(device);  // a flood waits for the loop's next turn
            }
        }
        CheckAnswers();
    });
}

void CListenLane::CheckAnswers() {
    if (!m_bReading) {
        return;
    }
    bool bAnyInLine = false;
    bool bAllAnswered = true;
    for (const DevicePtr& device : m_devices) {
        if (device->bOpen && device->bInLine) {
            bAnyInLine = true;
            bAllAnswered = bAllAnswered && device->bAnswered;
        }
    }
    if (!bAnyInLine) {
        AnswerLost();
    } else if (bAllAnswered) {
        Answered();
    }
}

void CListenLane::SendPiece() {
    const std::string_view data = Outgoing();
    const bool bLineEnd = OutgoingEndsLine();
    const Clock::time_point now = Clock::now();
    m_shared.reset();
    bool bTaken = false;
    // Offer may close a device, which changes nothing in the list until the next poll.
    for (const DevicePtr& device : std::vector<DevicePtr>(m_devices)) {
        if (device->bOpen && device->bInLine) {
            bTaken = Offer(device, data, bLineEnd, now) || bTaken;
        }
    }
    if (!bTaken) {
        LineDone(false);  // no device took every piece of the line
        return;
    }
    if (bLineEnd) {
        LineDone(true);
        return;
    }
    // A long line: its next piece once a device has taken this one, so that the lane reads no
    // faster than the fastest device takes it.
    m_bWaitingForRoom = true;
    if (RoomForNextPiece()) {
        // Through the loop, so that the other lanes get their turn between two pieces.
        asio::post(m_executor, [this] { DevicesChanged(); });
        return;
    }
    m_timer.expires_after(kTickPeriod);
    m_timer.async_wait([this](const asio::error_code& error) {
        if (!error) {
            Tick();
        }
    });
}

bool CListenLane::Offer(const DevicePtr& device, std::string_view data, bool bLineEnd,
                        Clock::time_point now) {
    std::size_t written = 0;
    if (device->queue.Empty() && !device->bWriting) {
        asio::error_code error;
        if (!data.empty()) {
            written = device->socket.write_some(asio::buffer(data.data(), data.size()), error);
            if (WouldBlock(error)) {
                error.clear();
            }
        }
        if (error) {
            CloseDevice(device, false);
            return false;
        }
        if (written == data.size()) {
            Counted(*device, bLineEnd ? 1 : 0);
            return true;
        }
    }
    if (m_shared == nullptr) {
        m_shared = std::make_shared<const std::string>(data);
    }
    device->queue.Push(m_shared, written, bLineEnd, now);
    if (device->queue.OverBound(now)) {
        CloseDevice(device, true);
        return false;
    }
    StartWrite(device);
    return true;
}

void CListenLane::StartWrite(const DevicePtr& device) {
    if (device->bWriting || !device->bOpen) {
        return;
    }
    // A line of no bytes at the front is taken as soon as it is reached.
    Counted(*device, device->queue.Consume(0));
    if (device->queue.Empty()) {
        return;
    }
    const std::string_view front = device->queue.Front();
    device->bWriting = true;
    device->socket.async_write_some(
        asio::buffer(front.data(), front.size()),
        [this, device](const asio::error_code& error, std::size_t count) {
            device->bWriting = false;
            if (!device->bOpen) {
                DevicesChanged();
                return;
            }
            if (error) {
                CloseDevice(device, false);
            } else {
                Counted(*device, device->queue.Consume(count));
                StartWrite(device);
            }
            DevicesChanged();
        });
}

void CListenLane::Counted(Device& device, std::uint64_t lines) {
    if (lines > 0) {
        device.lines += lines;
        m_listener.Counted(device.number, device.lines);
    }
}

void CListenLane::CloseDevice(const DevicePtr& device, bool bDropped) {
    if (!device->bOpen) {
        return;
    }
    device->bOpen = false;
    device->bInLine = false;
    device->queue.Clear();
    asio::error_code ignored;
    if (device->bWriting) {
        // A write still waits for a device that does not read: cut it short and reset the
        // connection, so that the write ends now rather than when the device reads (some systems
        // do not end it on the close alone).
        device->socket.cancel(ignored);
        device->socket.set_option(asio::socket_base::linger(true, 0), ignored);
    }
    device->socket.close(ignored);
    m_listener.Closed(device->number, bDropped);
}

bool CListenLane::RoomForNextPiece() const {
    // As soon as one device has taken the piece whole: the slower ones queue the next pieces
    // (within the bound), so none of them holds the others up.
    return std::any_of(m_devices.begin(), m_devices.end(),
                       [](const DevicePtr& device) {
                           return device->bOpen && device->bInLine && device->queue.Empty();
                       }) ||
           std::none_of(m_devices.begin(), m_devices.end(),
                        [](const DevicePtr& device) { return device->bOpen && device->bInLine; });
}

void CListenLane::DropLaggards() {
    const Clock::time_point now = Clock::now();
    for (const DevicePtr& device : std::vector<DevicePtr>(m_devices)) {
        if (device->bOpen && device->queue.OverBound(now)) {
            CloseDevice(device, true);
        }
    }
}

void CListenLane::Tick() {
    if (!m_bWaitingForRoom && !m_bClosing) {
        return;
    }
    DropLaggards();
    DevicesChanged();
    if (m_bWaitingForRoom || m_bClosing) {
        m_timer.expires_after(kTickPeriod);
        m_timer.async_wait([this](const asio::error_code& error) {
            if (!error) {
                Tick();
            }
        });
    }
}

void CListenLane::DevicesChanged() {
    if (m_bWaitingForRoom && RoomForNextPiece()) {
        m_bWaitingForRoom = false;
        m_timer.cancel();
        const bool bAnyInLine =
            std::any_of(m_devices.begin(), m_devices.end(),
                        [](const DevicePtr& d) { return d->bOpen && d->bInLine; });
        // A stop ends a long line between two pieces; it counts as lost, as does a line whose
        // devices have all gone.
        if (Stopping() || !bAnyInLine || !AdvanceOutgoing()) {
            LineDone(false);
            return;
        }
        WhenOutgoingDue([this] { SendPiece(); });
        return;
    }
    if (m_bClosing) {
        CloseDrained();
    }
    CheckAnswers();  // a device that went may have been the last one not to answer
}

void CListenLane::CloseDrained() {
    bool bLeft = false;
    for (const DevicePtr& device : m_devices) {
        if (!device->bOpen) {
            continue;
        }
        if (device->queue.Empty() && !device->bWriting) {
            asio::error_code ignored;
            device->socket.shutdown(asio::ip::tcp::socket::shutdown_send, ignored);
            CloseDevice(device, false);
        } else {
            bLeft = true;
        }
    }
    if (!bLeft) {
        m_bClosing = false;
        m_timer.cancel();
        m_devices.clear();
        TransportClosed();
    }
}

void CListenLane::Interrupt() {
    asio::error_code ignored;
    m_acceptor.close(ignored);
    m_acceptRetry.cancel();
    for (const DevicePtr& device : m_devices) {
        CloseDevice(device, false);
    }
    if (m_bWaitingForDevice) {
        m_bWaitingForDevice = false;
        ResumeLine();  // ends the lane: no line went out
    } else if (m_bWaitingForRoom) {
        m_bWaitingForRoom = false;
        LineDone(false);
    } else if (m_bClosing) {
        CloseDrained();
    }
}

void CListenLane::Shutdown(bool bAtOnce) {
    asio::error_code ignored;
    m_acceptor.close(ignored);
    m_acceptRetry.cancel();
    m_bWaitingForDevice = false;
    m_bWaitingForRoom = false;
    if (bAtOnce) {
        for (const DevicePtr& device : m_devices) {
            CloseDevice(device, false);
        }
    }
    // What is queued goes out first (a device that stops reading meanwhile is dropped by the
    // bound); then each connection closes.
    m_bClosing = true;
    CloseDrained();
    if (m_bClosing) {
        m_timer.expires_after(kTickPeriod);
        m_timer.async_wait([this](const asio::error_code& error) {
            if (!error) {
                Tick();
            }
        });
    }
}
