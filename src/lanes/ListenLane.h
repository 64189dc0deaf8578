#pragma once
// A lane that listens and plays to every device connected when a line goes out, as
// `play --listen` does: the first line waits for the first device, a device that connects later
// gets the lines from the next one on, one that disconnects gets no more, and while none is
// connected the lane waits. Each device has its own queue of what its connection did not take
// at once (CDeviceQueue), written as the device reads; one that stops reading is dropped when its
// queue passes the bound, and the others never wait for it. What a device sends is read and
// thrown away, a bounded amount per line, so a device that floods the lane costs it no more than
// that. A long line goes out piece by piece, the next piece once a device has taken the one
// before (the slower devices queue it, within the same bound). At the end of the lane what is
// queued is written (within the same bound) before each connection closes; at a stop every
// connection closes at once. With a wait for the devices' answers, the wait after a line ends
// when every device that took part in it and is still connected has answered (a device that
// connects meanwhile is not waited for), or at the reply time-out; when all of them have gone,
// the line is unanswered. Threads and failures: as CLane.
#include <array>
#include <asio/ip/tcp.hpp>
#include <memory>
#include <vector>

#include "lanes/DeviceQueue.h"
#include "lanes/Lane.h"

class CLaneListener;

class CListenLane : public CLane {
  public:
    CListenLane(asio::io_context& io, const LanePlan& plan, std::shared_ptr<const CPlayFile> file,
                LaneEvents events);

  private:
    using Socket = asio::basic_stream_socket<asio::ip::tcp, Executor>;
    struct Device {
        explicit Device(Socket peer) : socket(std::move(peer)) {}
        Socket socket;
        std::uint64_t number = 0;
        CDeviceQueue queue;
        std::uint64_t lines = 0;  // taken whole
        bool bOpen = true;
        bool bWriting = false;
        bool bInLine = false;  // connected when the current line began: gets all its pieces
        CReplyMatcher matcher;
        bool bAnswered = false;   // has answered the line just sent
        bool bWaitArmed = false;  // a wait for its bytes is pending
    };
    using DevicePtr = std::shared_ptr<Device>;

    bool Prepare() override;
    bool Ready() override;
    void Transmit() override;
    void Interrupt() override;
    void Shutdown(bool bAtOnce) override;
    void ReadForAnswer() override;
    void StopReading() override { m_bReading = false; }

    // While the answers are awaited: reads what `device` sends (one wait at a time), and ends
    // the wait once every device in the line has answered.
    void WaitForAnswerBytes(const DevicePtr& device);
    void CheckAnswers();

    void Accept();
    // Reads and drops what each device sent (a bounded amount), and closes the connections that
    // have ended.
    void PollDevices();
    // Hands the current piece to every device in the line.
    void SendPiece();
    // Gives `device` the bytes of `data` from `nAt` on: written at once as far as its connection
    // takes them, the rest queued. False when the device is gone or dropped.
    bool Offer(const DevicePtr& device, std::string_view data, bool bLineEnd,
               CDeviceQueue::Clock::time_point now);
    void StartWrite(const DevicePtr& device);
    void Counted(Device& device, std::uint64_t lines);
    void CloseDevice(const DevicePtr& device, bool bDropped);
    // Something changed for the devices (a write done, one gone): a long line waiting for room
    // and an end waiting for the queues look again.
    void DevicesChanged();
    // Drops the devices whose queues passed the bound by now.
    void DropLaggards();
    // While waiting for room or for the queues to drain: the time bound is looked at regularly.
    void Tick();
    bool RoomForNextPiece() const;
    void CloseDrained();

    CLaneListener& m_listener;
    asio::basic_socket_acceptor<asio::ip::tcp, Executor> m_acceptor;
    Timer m_acceptRetry;
    std::vector<DevicePtr> m_devices;
    std::shared_ptr<const std::string> m_shared;  // the current piece, once a device queued it
    std::array<char, 16 * 1024> m_scratch{};      // what devices send, thrown away
    bool m_bWaitingForDevice = false;
    bool m_bWaitingForRoom = false;
    bool m_bClosing = false;
    bool m_bReading = false;  // the answers to the line just sent are awaited
};
