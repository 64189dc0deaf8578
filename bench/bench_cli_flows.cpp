// Listing the flows of a capture of 1,000,000 packets that the benchmark writes (classic pcap,
// Ethernet, IPv4: 16 TCP connections in both directions and 4 UDP flows, 32-byte payloads, about
// 100 MB), beside `tcpdump -r FILE -w /dev/null` on the same file in the same run, which reads
// every packet through libpcap and writes it out again: the reader's yardstick. Best of three for
// each, after one warm-up pass that brings the file into the page cache. Times: the listing in
// this process (ListCaptureFlows), and `tillstream-cli flows FILE` as a process.
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
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

std::string MakeCapture(const std::string& folder) {
    const std::string path = folder + "/flows.pcap";
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
    std::uint32_t sequences[40] = {};
    std::string record;
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
        const std::uint64_t micros = 1796536752ull * 1000000 + n * 50;
        record.clear();
        PutLittle32(record, static_cast<std::uint32_t>(micros / 1000000));
        PutLittle32(record, static_cast<std::uint32_t>(micros % 1000000));
        PutLittle32(record, static_cast<std::uint32_t>(frame.size()));
        PutLittle32(record, static_cast<std::uint32_t>(frame.size()));
        record += frame;
        std::fwrite(record.data(), 1, record.size(), file);
    }
    std::fclose(file);
    return path;
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
    std::filesystem::remove_all(folder);
    return status;
}
