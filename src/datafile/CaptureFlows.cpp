#include "datafile/CaptureFlows.h"

#include <algorithm>
#include <unordered_map>

#include "datafile/PacketDecoder.h"
#include "datafile/TcpReassembler.h"
#include "datafile/UtcTime.h"

namespace {
// Flows named in a refusal: enough to choose from, not a screenful.
constexpr std::size_t kFlowsNamed = 10;

std::string NameFlows(const std::vector<const FlowSummary*>& flows) {
    std::string text;
    for (std::size_t n = 0; n < flows.size() && n < kFlowsNamed; ++n) {
        text += (n == 0 ? "" : "; ") + FormatFlow(flows[n]->flow);
    }
    if (flows.size() > kFlowsNamed) {
        text += "; and " + std::to_string(flows.size() - kFlowsNamed) + " more";
    }
    return text;
}

// Reads a capture packet by packet with the time a packet without its own takes; calls
// `take(packet, decoded, timeNs)` for every TCP or UDP packet and `other()` for the rest.
template <typename Take, typename Other>
bool ForEachFlowPacket(const std::string& path, CaptureFormat* pFormat, std::string& error,
                       Take take, Other other) {
    CCaptureFile file;
    if (!file.Open(path)) {
        error = file.ErrorText();
        return false;
    }
    if (pFormat != nullptr) {
        *pFormat = file.Format();
    }
    CapturedPacket packet;
    DecodedPacket decoded;
    std::int64_t timeNs = 0;
    for (;;) {
        const CaptureReadResult result = file.ReadPacket(packet);
        if (result == CaptureReadResult::kEndOfFile) {
            return true;
        }
        if (result == CaptureReadResult::kError) {
            error = file.ErrorText();
            return false;
        }
        if (packet.bTimed) {
            timeNs = packet.timeNs;
        }
        switch (DecodePacket(packet, decoded, error)) {
            case PacketKind::kOther:
                other();
                break;
            case PacketKind::kRefused:
                return false;
            case PacketKind::kFlow:
                if (!take(packet, decoded, timeNs)) {
                    return false;
                }
                break;
        }
    }
}
}  // namespace

bool ListCaptureFlows(const std::string& path, CaptureFlowList& list, std::string& error) {
    list = CaptureFlowList{};
    std::unordered_map<FlowKey, std::size_t, FlowKeyHash> index;
    return ForEachFlowPacket(
        path, &list.format, error,
        [&](const CapturedPacket&, const DecodedPacket& decoded, std::int64_t timeNs) {
            ++list.packets;
            const auto [entry, bAdded] = index.try_emplace(decoded.flow, list.flows.size());
            if (bAdded) {
                FlowSummary added;
                added.flow = decoded.flow;
                added.firstNs = added.lastNs = timeNs;
                list.flows.push_back(added);
            }
            FlowSummary& summary = list.flows[entry->second];
            ++summary.packets;
            summary.payloadBytes += decoded.payloadLength;
            summary.firstNs = std::min(summary.firstNs, timeNs);
            summary.lastNs = std::max(summary.lastNs, timeNs);
            return true;
        },
        [&] {
            ++list.packets;
            ++list.otherPackets;
        });
}

bool ChooseFlow(const std::vector<FlowSummary>& flows, const FlowSelector& selector,
                FlowKey& chosen, std::string& error) {
    std::vector<const FlowSummary*> withData;
    std::vector<const FlowSummary*> matching;
    for (const FlowSummary& summary : flows) {
        if (summary.payloadBytes == 0) {
            continue;
        }
        withData.push_back(&summary);
        if (selector.Matches(summary.flow)) {
            matching.push_back(&summary);
        }
    }
    if (matching.size() == 1) {
        chosen = matching.front()->flow;
        return true;
    }
    if (withData.empty()) {
        error = "no TCP or UDP flow in it carries data";
    } else if (matching.empty()) {
        error = "no flow that carries data matches; those that do: " + NameFlows(withData);
    } else {
        error = std::to_string(matching.size()) +
                " flows carry data; choose one of: " + NameFlows(matching);
    }
    return false;
}

bool LoadCaptureFlow(const std::string& path, const FlowSelector& selector, bool bAllowGaps,
                     CaptureFlow& flow, std::string& error) {
    flow = CaptureFlow{};
    CaptureFlowList list;
    if (!ListCaptureFlows(path, list, error) ||
        !ChooseFlow(list.flows, selector, flow.flow, error)) {
        return false;
    }
    const FlowKey key = flow.flow;
    CTcpReassembler stream;
    const bool bRead = ForEachFlowPacket(
        path, nullptr, error,
        [&](const CapturedPacket& packet, const DecodedPacket& decoded, std::int64_t timeNs) {
            if (decoded.flow != key) {
                return true;
            }
            if (decoded.capturedPayload < decoded.payloadLength) {
                error = "packet " + std::to_string(packet.number) + ": the capture kept " +
                        std::to_string(decoded.capturedPayload) + " of its " +
                        std::to_string(decoded.payloadLength) +
                        " payload bytes (snap length); the rest of " + FormatFlow(key) +
                        " is not in the file";
                return false;
            }
            // An empty payload may begin past the bytes kept (TCP options cut by the snap
            // length): it has nothing to point at.
            const std::uint8_t* payload =
                decoded.payloadLength > 0 ? packet.bytes.data() + decoded.payloadOffset : nullptr;
            if (key.protocol == FlowProtocol::kTcp) {
                stream.Add(decoded.sequence, decoded.tcpFlags, payload, decoded.payloadLength,
                           timeNs, packet.number);
                return true;
            }
            FlowRecord record;
            record.bytes.assign(reinterpret_cast<const char*>(payload), decoded.payloadLength);
            record.timeNs =
                flow.records.empty() ? timeNs : std::max(timeNs, flow.records.back().timeNs);
            record.packet = packet.number;
            flow.records.push_back(std::move(record));
            return true;
        },
        [] {});
    if (!bRead) {
        return false;
    }
    if (key.protocol == FlowProtocol::kTcp) {
        stream.Finish();
        flow.records = std::move(stream.Records());
        flow.gaps = stream.Gaps();
        flow.duplicates = stream.Duplicates();
        flow.reordered = stream.Reordered();
    }
    if (!flow.gaps.empty() && !bAllowGaps) {
        error = FormatFlow(key) + ": " + FormatFlowGap(flow.gaps.front());
        if (flow.gaps.size() > 1) {
            error += " and " + std::to_string(flow.gaps.size() - 1) + " more holes";
        }
        error += "; the capture lost them";
        return false;
    }
    return true;
}

std::string FormatFlowGap(const FlowGap& gap) {
    return std::to_string(gap.bytes) + " bytes missing from sequence number " +
           std::to_string(gap.sequence) + " (before packet " + std::to_string(gap.packet) + ", " +
           FormatUtcMicroseconds(gap.timeNs) + " UTC)";
}
