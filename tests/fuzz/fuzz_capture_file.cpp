// Any bytes read as a packet capture: the reader gives the same packets and the same refusal
// whatever its buffer size; every TCP or UDP packet's payload lies inside the bytes kept; the
// flows count every packet once; and the records of a flow come in time order and never hold more
// than the flow's packets carried.
#include <string>
#include <vector>

#include "FuzzFiles.h"
#include "datafile/CaptureFile.h"
#include "datafile/CaptureFlows.h"
#include "datafile/PacketDecoder.h"

namespace {
struct Reading {
    std::vector<CapturedPacket> packets;
    std::string error;
};

Reading ReadAll(const std::string& path, std::size_t bufferSize) {
    Reading reading;
    CCaptureFile file(bufferSize);
    if (!file.Open(path)) {
        reading.error = file.ErrorText();
        FUZZ_CHECK(!reading.error.empty());
        return reading;
    }
    CapturedPacket packet;
    CaptureReadResult result;
    while ((result = file.ReadPacket(packet)) == CaptureReadResult::kPacket) {
        FUZZ_CHECK(packet.number == reading.packets.size() + 1);
        FUZZ_CHECK(packet.bytes.size() == packet.capturedLength);
        reading.packets.push_back(packet);
    }
    reading.error = file.ErrorText();
    FUZZ_CHECK((result == CaptureReadResult::kError) == !reading.error.empty());
    return reading;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = FuzzScratchFolder() + "/capture";
    WriteFuzzFile(path, data, size);

    const Reading whole = ReadAll(path, CCaptureFile::kDefaultBufferSize);
    const Reading small = ReadAll(path, 1 + size % 17);
    FUZZ_CHECK(whole.error == small.error);
    FUZZ_CHECK(whole.packets.size() == small.packets.size());
    std::uint64_t flowPackets = 0;
    bool bRefused = false;
    for (std::size_t n = 0; n < whole.packets.size(); ++n) {
        const CapturedPacket& packet = whole.packets[n];
        FUZZ_CHECK(packet.bytes == small.packets[n].bytes);
        FUZZ_CHECK(packet.timeNs == small.packets[n].timeNs);
        DecodedPacket decoded;
        std::string why;
        switch (DecodePacket(packet, decoded, why)) {
            case PacketKind::kFlow:
                FUZZ_CHECK(decoded.capturedPayload <= decoded.payloadLength);
                FUZZ_CHECK(decoded.capturedPayload == 0 ||
                           decoded.payloadOffset + decoded.capturedPayload <= packet.bytes.size());
                ++flowPackets;
                break;
            case PacketKind::kRefused:
                FUZZ_CHECK(why.rfind("packet ", 0) == 0);
                bRefused = true;
                break;
            case PacketKind::kOther:
                break;
        }
        if (bRefused) {
            break;
        }
    }

    CaptureFlowList list;
    std::string error;
    const bool bListed = ListCaptureFlows(path, list, error);
    FUZZ_CHECK(bListed == (whole.error.empty() && !bRefused));
    if (!bListed) {
        return 0;
    }
    std::uint64_t counted = 0;
    for (const FlowSummary& summary : list.flows) {
        FUZZ_CHECK(summary.packets > 0 && summary.firstNs <= summary.lastNs);
        counted += summary.packets;
    }
    FUZZ_CHECK(counted == flowPackets);
    FUZZ_CHECK(list.packets == whole.packets.size());
    FUZZ_CHECK(list.otherPackets == list.packets - flowPackets);

    CaptureFlow flow;
    if (LoadCaptureFlow(path, FlowSelector{}, true, flow, error)) {
        std::uint64_t carried = 0;
        for (const FlowSummary& summary : list.flows) {
            if (summary.flow == flow.flow) {
                carried = summary.payloadBytes;
            }
        }
        std::uint64_t played = 0;
        for (std::size_t n = 0; n < flow.records.size(); ++n) {
            FUZZ_CHECK(n == 0 || flow.records[n].timeNs >= flow.records[n - 1].timeNs);
            played += flow.records[n].bytes.size();
        }
        FUZZ_CHECK(played <= carried);
    }
    return 0;
}
