#include <chrono>
#include <cstdint>
#include <optional>
#include <ostream>
#include <vector>

#include "cli/CommandFlags.h"
#include "cli/CommandOutput.h"
#include "cli/CommandParser.h"
#include "cli/InterfaceCheck.h"
#include "cli/Receiver.h"
#include "cli/SerialCheck.h"
#include "options/OptionStore.h"
#include "options/OptionText.h"
#include "platform/FileHandle.h"
#include "platform/FileSystem.h"
#include "platform/Interrupt.h"
#include "platform/ReceiveSocket.h"
#include "platform/SerialPort.h"
#include "platform/Socket.h"
#include "platform/Terminal.h"
#include "platform/WakeEvent.h"

namespace {
constexpr char kReceiveUsage[] =
    "Usage: tillstream-cli receive (--tcp [HOST:]PORT | --connect HOST:PORT\n"
    "                               | --udp [HOST:]PORT | --serial COMn) [--interface ADDR]\n"
    "                              [--hex] [--out FILE] [--expect-delay MS] [--quiet] [--once]\n"
    "                              [--baud N] [--parity P] [--data-bits N] [--stop-bits S]\n";
constexpr char kReceiveDescription[] =
    "Listens like a receiving device and prints every line as it arrives. PORT 0 lets the\n"
    "system choose; the port chosen is in the line printed to standard error when ready,\n"
    "e.g. 'listening on tcp 127.0.0.1:9100'. With --connect it is the device that connects\n"
    "(to 'play --listen'), again once a second until it gets through and after every break.\n";
constexpr char kReceiveNotes[] =
    "TCP and serial lines end at LF (the LF belongs to the line); a line still open when its\n"
    "connection closes is printed as it is. Ctrl-C ends the run; the summary (connections,\n"
    "lines, bytes) goes to standard error.\n"
    "On a terminal each line reads 'HH:MM:SS.mmm  +INTERVAL ms  N bytes  DATA'. Otherwise\n"
    "standard output gets one line per received line with six tab-separated fields:\n"
    "  INDEX  CONNECTION  ARRIVAL  INTERVAL_MS  BYTES  DATA\n"
    "INDEX counts lines from 1; CONNECTION counts TCP connections from 1 (always 1 for UDP and\n"
    "serial); ARRIVAL is seconds since 1970-01-01 UTC with 6 decimals; INTERVAL_MS is the time\n"
    "since the previous line with 3 decimals, '-' for the first; BYTES is the line's byte count;\n"
    "DATA is the bytes with \\\\ \\0 \\t \\n \\r and \\xHH escapes (or hex pairs with --hex).\n"
    "A line longer than 64 KiB is printed in pieces of 64 KiB that share its INDEX; every piece\n"
    "but the last has '+' after its byte count (65536+). With --udp the summary also gives the\n"
    "datagrams the system dropped for want of buffer space (not on Windows, which cannot tell).\n"
    "Exit codes: 0 ended by --once, 1 cannot listen or open the port or FILE, or writing FILE\n"
    "failed (the run then ends at once), 2 bad arguments, ";

constexpr std::size_t kReceiveBufferSize = 64 * 1024;
constexpr std::chrono::milliseconds kConnectTimeout{5000};
constexpr int kReconnectPauseMs = 1000;

// Reads one connection until its peer closes it; false when the run must end: interrupted, or
// the --out file can take no more.
bool ReceiveConnection(CReceiveSocket& connection, CReceiver& receiver, std::vector<char>& buffer) {
    const CWakeEvent& cancel = InterruptWakeEvent();
    for (;;) {
        if (connection.WaitReadable(cancel) != SocketError::kNone) {
            receiver.EndStream();
            return false;
        }
        const std::int64_t count = connection.Receive(buffer.data(), buffer.size(), nullptr);
        if (count <= 0) {
            receiver.EndStream();
            return true;
        }
        receiver.FeedStream(buffer.data(), static_cast<std::size_t>(count));
        if (receiver.WriteFailed()) {
            receiver.EndStream();
            return false;
        }
    }
}

// Accepts connections one after another until Ctrl-C (or the first closes, with --once).
void ReceiveTcp(CReceiveSocket& listener, CReceiver& receiver, bool bOnce, std::ostream& err,
                bool bQuiet) {
    std::vector<char> buffer(kReceiveBufferSize);
    const CWakeEvent& cancel = InterruptWakeEvent();
    for (;;) {
        if (listener.WaitReadable(cancel) != SocketError::kNone) {
            return;
        }
        CReceiveSocket connection;
        std::string peer;
        if (listener.Accept(connection, peer) != SocketError::kNone) {
            continue;  // the peer gave up before we took it
        }
        receiver.StartConnection();
        if (!bQuiet) {
            err << "connection " << receiver.Stats().Connections() << " from " << peer << std::endl;
        }
        if (!ReceiveConnection(connection, receiver, buffer)) {
            return;
        }
        if (!bQuiet) {
            err << "connection " << receiver.Stats().Connections() << " closed" << std::endl;
        }
        if (bOnce) {
            return;
        }
    }
}

// The device that connects: to dwAddr:wPort, again once a second until it gets through and
// after every break, until Ctrl-C (or the first connection closes, with --once).
void ReceiveConnecting(std::uint32_t dwAddr, std::uint16_t wPort, CReceiver& receiver, bool bOnce,
                       std::ostream& err, bool bQuiet) {
    std::vector<char> buffer(kReceiveBufferSize);
    const CWakeEvent& cancel = InterruptWakeEvent();
    const std::string target = FormatIPv4Address(dwAddr) + ":" + std::to_string(wPort);
    bool bFailureTold = false;
    CWakeEvent pause;
    pause.Create();
    SetInterruptCallback([&pause] { pause.Set(); });
    while (!IsInterruptRequested()) {
        CReceiveSocket connection;
        const SocketError result = connection.ConnectTcp(dwAddr, wPort, kConnectTimeout, cancel);
        if (result == SocketError::kInterrupted) {
            break;
        }
        if (result == SocketError::kNone) {
            bFailureTold = false;
            receiver.StartConnection();
            if (!bQuiet) {
                err << "connection " << receiver.Stats().Connections() << " to " << target
                    << std::endl;
            }
            if (!ReceiveConnection(connection, receiver, buffer)) {
                break;
            }
            if (!bQuiet) {
                err << "connection " << receiver.Stats().Connections() << " closed" << std::endl;
            }
            if (bOnce) {
                break;
            }
        } else if (!bFailureTold && !bQuiet) {
            // Once per break, not once a second: the device keeps trying quietly.
            PrintCommandError(err, "receive",
                              "cannot connect to " + target + ": " + SocketErrorText(result) +
                                  "; trying again every second");
            bFailureTold = true;
        }
        if (pause.Wait(kReconnectPauseMs)) {
            break;
        }
    }
    SetInterruptCallback(nullptr);
}

void ReceiveUdp(CReceiveSocket& socket, CReceiver& receiver, bool bOnce) {
    std::vector<char> buffer(kReceiveBufferSize);
    const CWakeEvent& cancel = InterruptWakeEvent();
    receiver.StartConnection();
    for (;;) {
        if (socket.WaitReadable(cancel) != SocketError::kNone) {
            return;
        }
        const std::int64_t count = socket.Receive(buffer.data(), buffer.size(), nullptr);
        if (count < 0) {
            continue;  // e.g. an ICMP error of an earlier datagram; the socket goes on
        }
        receiver.FeedDatagram(buffer.data(), static_cast<std::size_t>(count));
        if (bOnce || receiver.WriteFailed()) {
            return;
        }
    }
}

void ReceiveSerial(CSerialPort& port, CReceiver& receiver, bool bOnce) {
    CWakeEvent wake;
    wake.Create();
    SetInterruptCallback([&wake] { wake.Set(); });
    std::vector<char> buffer(kReceiveBufferSize);
    receiver.StartConnection();
    while (!IsInterruptRequested()) {
        const SerialWaitResult wait = port.WaitForData(wake);
        if (wait == SerialWaitResult::kWoken) {
            break;
        }
        // Whatever is there is read before a hang-up ends the run.
        for (;;) {
            const std::size_t count = port.Read(buffer.data(), buffer.size());
            if (count == 0) {
                break;
            }
            receiver.FeedStream(buffer.data(), count);
            if (receiver.WriteFailed()) {
                break;
            }
        }
        if (receiver.WriteFailed()) {
            break;
        }
        if (wait == SerialWaitResult::kHangUp) {
            if (bOnce) {
                break;
            }
            // The far end has gone for now; wait for it to come back without spinning.
            if (wake.Wait(100)) {
                break;
            }
        }
    }
    SetInterruptCallback(nullptr);
    receiver.EndStream();
}
}  // namespace

int RunReceiveCommand(const CommandArgs& args, std::ostream& out, std::ostream& err) {
    CCommandParser parser("receive", kReceiveUsage, kReceiveDescription,
                          ExitCodesNote(kReceiveNotes));
    CLI::App& app = parser.App();
    std::optional<Endpoint> tcp;
    std::optional<Endpoint> connect;
    std::optional<Endpoint> udp;
    std::optional<int> serialPort;
    std::optional<std::string> multicastInterface;
    LineSettingFlags lineSettings;
    std::optional<std::string> outPath;
    std::optional<std::uint32_t> expectDelay;
    bool bHex = false;
    bool bQuiet = false;
    bool bOnce = false;
    AddEndpointFlag(app, "--tcp", tcp, true, true, "[HOST:]PORT",
                    "accept TCP connections, one after another (HOST default 0.0.0.0)");
    AddEndpointFlag(app, "--connect", connect, false, false, "HOST:PORT",
                    "connect to HOST (a 'play --listen'), again once a second until it\n"
                    "gets through and after every break");
    AddEndpointFlag(app, "--udp", udp, true, true, "[HOST:]PORT",
                    "take UDP datagrams, one line per datagram; HOST may be a multicast\n"
                    "group, which is joined");
    app.add_option("--interface", multicastInterface,
                   "with --udp GROUP:PORT: join the group on the interface that has the\n"
                   "address ADDR (default: the system's routes choose)")
        ->option_text("ADDR");
    AddComPortFlag(app, "--serial", serialPort,
                   "read a serial port with the stored input line settings, or those\n"
                   "of --baud, --parity, --data-bits, --stop-bits");
    app.add_flag("--hex", bHex, "print the bytes in hex instead of escaped text")
        ->disable_flag_override();
    app.add_option("--out", outPath, "also write every received byte, unchanged, into FILE")
        ->option_text("FILE");
    AddNumberFlag<std::uint32_t>(
        app, "--expect-delay", expectDelay, 0, 86400000, "MS",
        "add the mean, 99th percentile and maximum of |interval - MS| and\n"
        "the drift over the run to the summary");
    app.add_flag("--quiet", bQuiet, "print no line, only the summary")->disable_flag_override();
    app.add_flag("--once", bOnce,
                 "end when the first connection closes (TCP), after the first\n"
                 "datagram (UDP), or when the serial device hangs up")
        ->disable_flag_override();
    AddLineSettingFlags(app, lineSettings);
    if (const std::optional<int> exitCode = parser.Parse(args, out, err)) {
        return *exitCode;
    }
    if (static_cast<int>(tcp.has_value()) + static_cast<int>(connect.has_value()) +
            static_cast<int>(udp.has_value()) + static_cast<int>(serialPort.has_value()) !=
        1) {
        return parser.Refuse(err, "give exactly one of --tcp, --connect, --udp or --serial");
    }
    if (multicastInterface && !udp) {
        return parser.Refuse(err, "--interface goes with --udp GROUP:PORT");
    }
    const std::optional<Endpoint>& endpoint = tcp ? tcp : connect ? connect : udp;
    if (endpoint && lineSettings.AnyGiven()) {
        return parser.Refuse(err,
                             "--baud, --parity, --data-bits and --stop-bits go with --serial only");
    }
    std::optional<double> expectedMs;
    if (expectDelay) {
        expectedMs = static_cast<double>(*expectDelay);
    }
    const std::string host = endpoint && !endpoint->host.empty() ? endpoint->host : "0.0.0.0";
    const std::uint16_t port = endpoint ? endpoint->port : 0;
    OptionRecord record = MakeDefaultOptionRecord();
    LoadStoredOptions(record, "tillstream-cli receive");
    std::uint32_t baud = record.inputBaudRate;
    std::int32_t parity = record.inputParity;
    std::int32_t dataBits = record.inputDataBits;
    std::int32_t stopBits = record.inputStopBits;
    lineSettings.ApplyTo(baud, parity, dataBits, stopBits);
    std::uint32_t dwAddr = 0;
    if (endpoint) {
        std::string error;
        if (!ResolveIPv4Host(host, dwAddr, error)) {
            PrintCommandError(err, "receive", "cannot resolve '" + host + "': " + error);
            return kExitFailure;
        }
    }
    std::uint32_t dwInterface = 0;
    if (multicastInterface) {
        if (!IsMulticastAddress(dwAddr)) {
            return parser.Refuse(err,
                                 "--interface goes with a multicast group (224.0.0.0 to "
                                 "239.255.255.255), not " +
                                     host);
        }
        if (const std::optional<InterfaceRefusal> refusal =
                CheckMulticastInterface(*multicastInterface, dwInterface)) {
            if (refusal->exitCode == kExitUsage) {
                return parser.Refuse(err, refusal->message);
            }
            PrintCommandError(err, "receive", refusal->message);
            return refusal->exitCode;
        }
    }

    CReceiver receiver(out, err, bHex, bQuiet, IsTerminal(StandardStream::kOutput));
    if (outPath) {
        if (const FileError error = receiver.OpenOutFile(*outPath); error != FileError::None) {
            // The system calls a folder in the way "access denied"; say what it is.
            FileKind kind = FileKind::Regular;
            const bool bFolder = CheckRegularFile(*outPath, kind) == FileError::NotRegularFile &&
                                 kind == FileKind::Directory;
            PrintCommandError(err, "receive",
                              "cannot write '" + *outPath +
                                  "': " + (bFolder ? "it is a directory" : FileErrorText(error)));
            return kExitFailure;
        }
    }

    if (serialPort) {
        CSerialPort serial;
        std::string message;
        const SerialLineSettings settings{baud, static_cast<std::uint8_t>(dataBits),
                                          static_cast<std::uint8_t>(parity),
                                          static_cast<std::uint8_t>(stopBits)};
        if (!OpenSerialForCli(serial, *serialPort, settings, message)) {
            PrintCommandError(err, "receive", message);
            return kExitFailure;
        }
        err << "listening on serial " << ComPortName(*serialPort) << std::endl;
        ReceiveSerial(serial, receiver, bOnce);
    } else if (connect) {
        err << "connecting to tcp " << FormatIPv4Address(dwAddr) << ":" << port << std::endl;
        ReceiveConnecting(dwAddr, port, receiver, bOnce, err, bQuiet);
    } else {
        CReceiveSocket socket;
        const bool bTcp = tcp.has_value();
        const bool bGroup = !bTcp && IsMulticastAddress(dwAddr);
        const SocketError error = bTcp     ? socket.ListenTcp(dwAddr, port)
                                  : bGroup ? socket.JoinUdpGroup(dwAddr, port, dwInterface)
                                           : socket.BindUdp(dwAddr, port);
        if (error != SocketError::kNone) {
            PrintCommandError(err, "receive",
                              std::string("cannot listen on ") + (bTcp ? "tcp " : "udp ") + host +
                                  ":" + std::to_string(port) + ": " + SocketErrorText(error));
            return kExitFailure;
        }
        err << "listening on " << (bTcp ? "tcp " : "udp ") << host << ":" << socket.LocalPort()
            << std::endl;
        if (bTcp) {
            ReceiveTcp(socket, receiver, bOnce, err, bQuiet);
        } else {
            ReceiveUdp(socket, receiver, bOnce);
            if (const std::optional<std::uint64_t> dropped = socket.DroppedDatagrams()) {
                receiver.Stats().SetDroppedDatagrams(*dropped);
            }
        }
    }
    ConfirmInterruptStop();
    out.flush();
    const bool bOutComplete = receiver.CloseOutFile();
    err << receiver.Stats().Summary(expectedMs);
    if (!bOutComplete) {
        return kExitFailure;
    }
    return IsInterruptRequested() ? InterruptedExitCode(kExitOk) : kExitOk;
}
