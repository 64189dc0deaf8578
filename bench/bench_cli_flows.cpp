// Packet captures, two figures.
//
// Listing the flows of a capture of 1,000,000 packets that the benchmark writes (classic pcap,
// Ethernet, IPv4: 16 TCP connections in both directions and 4 UDP flows, 32-byte payloads, about
// 100 MB), beside `tcpdump -r FILE -w /dev/null` on the same file in the same run, which reads
// every packet through libpcap and writes it out again: the reader's yardstick. Best of three for
// each, after one warm-up pass that brings the file into the page cache. Times: the listing in
// this process (ListCaptureFlows), and `tillstream-cli flows FILE` as a process.
//
// Replaying a capture at its recorded pace: one TCP flow of 400 segments with gaps of 2 to 25 ms
// (about 5 s), played by `tillstream-cli play FILE --pace recorded --tcp` to a device in this
// process, which stamps each segment's line end as it arrives. The figure is how far each gap
// between two arrivals is from the capture's gap: median, 99th percentile and largest.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <thread>
#include <vector>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include "datafile/CaptureFlows.h"

namespace {
constexpr std::size_t kPackets = 1000000;

void Put16(std::string& out, std::uint32_t value) {
    out += static_cast<char>((value >> 8) & 0xFF);
    out += static_cast<char>(value & 0xFF);
}

void Put32(std::string& out, std::uint32_t value) {
    Put16(out, value >> 16);
    Put16(out, value & 0xFFFF);
}

// An Ethernet frame with IPv4 and a TCP segment or UDP datagram carrying `payload`.
std::string Frame(bool bTcp, std::uint32_t source, std::uint32_t destination,
                  std::uint16_t sourcePort, std::uint16_t destinationPort, std::uint32_t sequence,
                  const std::string& payload) {
    std::string transport;
    Put16(transport, sourcePort);
    Put16(transport, destinationPort);
    if (bTcp) {
        Put32(transport, sequence);
        Put32(transport, 0);
        transport += '\x50';
        transport += '\x18';
        Put16(transport, 65535);
        Put32(transport, 0);
    } else {
        Put16(transport, static_cast<std::uint32_t>(8 + payload.size()));
        Put16(transport, 0);
    }
    transport += payload;
    std::string frame = std::string("\x02\x00\x00\x00\x00\x02\x02\x00\x00\x00\x00\x01\x08\x00", 14);
    frame += '\x45';
    frame += '\0';
    Put16(frame, static_cast<std::uint32_t>(20 + transport.size()));
    Put32(frame, 0x40000000);
    frame += '\x40';
    frame += bTcp ? '\x06' : '\x11';
    Put16(frame, 0);
    Put32(frame, source);
    Put32(frame, destination);
    return frame + transport;
}

void PutLittle32(std::string& out, std::uint32_t value) {
    for (int n = 0; n < 4; ++n) {
        out += static_cast<char>((value >> (8 * n)) & 0xFF);
    }
}

// A classic pcap file (microseconds, Ethernet) at `path`, its header written.
std::FILE* CreatePcap(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        std::perror(path.c_str());
        std::exit(1);
    }
    std::string header;
    for (const std::uint32_t value : {0xA1B2C3D4u, 0x00040002u, 0u, 0u, 262144u, 1u}) {
        PutLittle32(header, value);
    }
    std::fwrite(header.data(), 1, header.size(), file);
    return file;
}

void PutPcapRecord(std::FILE* file, std::uint64_t micros, const std::string& frame) {
    std::string record;
    PutLittle32(record, static_cast<std::uint32_t>(micros / 1000000));
    PutLittle32(record, static_cast<std::uint32_t>(micros % 1000000));
    PutLittle32(record, static_cast<std::uint32_t>(frame.size()));
    PutLittle32(record, static_cast<std::uint32_t>(frame.size()));
    record += frame;
    std::fwrite(record.data(), 1, record.size(), file);
}

std::string MakeCapture(const std::string& folder) {
    const std::string path = folder + "/flows.pcap";
    std::FILE* file = CreatePcap(path);
    std::uint32_t sequences[40] = {};
    for (std::size_t n = 0; n < kPackets; ++n) {
        const std::size_t flow = n % 40;  // 16 connections both ways, then 4 UDP flows
        const bool bTcp = flow < 32;
        const auto till = static_cast<std::uint32_t>(0x0A000100 + flow / 2);
        const std::uint32_t device = 0x0A000009;
        const auto tillPort = static_cast<std::uint16_t>(50000 + flow / 2);
        const auto devicePort = static_cast<std::uint16_t>(9100 + flow / 2 % 4);
        const bool bReply = bTcp && flow % 2 == 1;
        char text[40];
        std::snprintf(text, sizeof text, "line %09zu of the receipt.....\r\n", n);
        const std::string payload(text, 32);
        const std::string frame =
            bReply ? Frame(true, device, till, devicePort, tillPort, sequences[flow], payload)
                   : Frame(bTcp, till, device, tillPort, devicePort, sequences[flow], payload);
        sequences[flow] += static_cast<std::uint32_t>(payload.size());
        PutPcapRecord(file, 1796536752ull * 1000000 + n * 50, frame);
    }
    std::fclose(file);
    return path;
}

constexpr std::size_t kReplaySegments = 400;

// The replay's capture: one TCP flow of kReplaySegments lines, the gaps between them in `gaps`.
std::string MakeReplayCapture(const std::string& folder, std::vector<std::int64_t>& gapsMicros) {
    const std::string path = folder + "/replay.pcap";
    std::FILE* file = CreatePcap(path);
    std::uint64_t micros = 1796536752ull * 1000000;
    std::uint32_t sequence = 1;
    std::uint32_t seed = 12345;
    for (std::size_t n = 0; n < kReplaySegments; ++n) {
        if (n > 0) {
            seed = seed * 1103515245 + 12345;
            const std::int64_t gap = 2000 + static_cast<std::int64_t>((seed >> 8) % 23000);
            gapsMicros.push_back(gap);
            micros += static_cast<std::uint64_t>(gap);
        }
        char text[40];
        std::snprintf(text, sizeof text, "line %04zu of the receipt\n", n);
        PutPcapRecord(file, micros,
                      Frame(true, 0x0A000005, 0x0A000009, 50000, 9100, sequence, text));
        sequence += static_cast<std::uint32_t>(std::strlen(text));
    }
    std::fclose(file);
    return path;
}

// Replays the capture to a device in this process and returns how far each gap between two
// arrivals was from the capture's (microseconds, sorted); empty when the run failed.
std::vector<double> ReplayDeviations(const std::string& path,
                                     const std::vector<std::int64_t>& gapsMicros) {
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listener, 1) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        std::perror("the device's socket");
        return {};
    }
    std::vector<std::chrono::steady_clock::time_point> arrivals;
    std::thread device([&] {
        const int connection = ::accept(listener, nullptr, nullptr);
        char buffer[4096];
        for (ssize_t got;
             connection >= 0 && (got = ::recv(connection, buffer, sizeof buffer, 0)) > 0;) {
            const auto now = std::chrono::steady_clock::now();
            arrivals.insert(arrivals.end(),
                            static_cast<std::size_t>(std::count(buffer, buffer + got, '\n')), now);
        }
        if (connection >= 0) {
            ::close(connection);
        }
    });
    const std::string play =
        std::string(TILLSTREAM_CLI_PATH) + " play '" + path +
        "' --pace recorded --quiet --tcp 127.0.0.1:" + std::to_string(ntohs(address.sin_port));
    const bool bPlayed = std::system(play.c_str()) == 0;
    device.join();
    ::close(listener);
    if (!bPlayed || arrivals.size() != kReplaySegments) {
        std::fprintf(stderr, "the replay failed (%zu of %zu lines arrived)\n", arrivals.size(),
                     kReplaySegments);
        return {};
    }
    std::vector<double> deviations;
    for (std::size_t n = 1; n < arrivals.size(); ++n) {
        const double gap =
            std::chrono::duration<double, std::micro>(arrivals[n] - arrivals[n - 1]).count();
        deviations.push_back(std::abs(gap - static_cast<double>(gapsMicros[n - 1])));
    }
    std::sort(deviations.begin(), deviations.end());
    return deviations;
}

double BestSeconds(const std::function<bool()>& run) {
    double best = 1e30;
    for (int i = 0; i < 3; ++i) {
        const auto start = std::chrono::steady_clock::now();
        if (!run()) {
            return -1;
        }
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        best = std::min(best, elapsed.count());
    }
    return best;
}
}  // namespace

int main() {
    std::string folder = (std::filesystem::temp_directory_path() / "bench-flows-XXXXXX").string();
    if (::mkdtemp(folder.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string path = MakeCapture(folder);
    std::printf("capture: %zu packets, %.1f MB\n", kPackets,
                static_cast<double>(std::filesystem::file_size(path)) / 1e6);

    CaptureFlowList list;
    std::string error;
    int status = 0;
    if (!ListCaptureFlows(path, list, error) || list.packets != kPackets ||
        list.flows.size() != 36) {  // also the warm-up
        std::fprintf(stderr, "the listing failed: %s (%zu flows)\n", error.c_str(),
                     list.flows.size());
        status = 1;
    }
    const double listSeconds = BestSeconds([&] { return ListCaptureFlows(path, list, error); });
    const std::string cli = std::string(TILLSTREAM_CLI_PATH) + " flows '" + path + "' > /dev/null";
    const double cliSeconds = BestSeconds([&] { return std::system(cli.c_str()) == 0; });
    const std::string tcpdump = "tcpdump -r '" + path + "' -w /dev/null 2> /dev/null";
    const double tcpdumpSeconds = BestSeconds([&] { return std::system(tcpdump.c_str()) == 0; });

    if (tcpdumpSeconds > 0) {
        std::printf("%-34s %8.3f s\n", "tcpdump -r FILE -w /dev/null", tcpdumpSeconds);
    } else {
        std::printf("%-34s %8s\n", "tcpdump -r FILE -w /dev/null", "not run (no tcpdump)");
    }
    const struct {
        const char* name;
        double seconds;
    } rows[] = {{"ListCaptureFlows", listSeconds}, {"tillstream-cli flows FILE", cliSeconds}};
    for (const auto& row : rows) {
        if (row.seconds < 0) {
            std::printf("%-34s failed\n", row.name);
            status = 1;
            continue;
        }
        std::printf("%-34s %8.3f s", row.name, row.seconds);
        if (tcpdumpSeconds > 0) {
            std::printf("  %.2fx tcpdump's time", row.seconds / tcpdumpSeconds);
        }
        std::printf("  (%.0f packets/s)\n", kPackets / row.seconds);
    }

    std::vector<std::int64_t> gaps;
    const std::string replay = MakeReplayCapture(folder, gaps);
    const std::vector<double> deviations = ReplayDeviations(replay, gaps);
    if (deviations.empty()) {
        std::printf("replay deviation: failed\n");
        status = 1;
    } else {
        auto at = [&](double share) {
            return deviations[std::min(deviations.size() - 1,
                                       static_cast<std::size_t>(share * deviations.size()))] /
                   1000;
        };
        std::printf("replay deviation over %zu gaps: median %.3f ms, p99 %.3f ms, max %.3f ms\n",
                    deviations.size(), at(0.5), at(0.99), deviations.back() / 1000);
    }
    std::filesystem::remove_all(folder);
    return status;
}
