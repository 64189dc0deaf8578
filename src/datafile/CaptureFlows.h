#pragma once
// The flows of a packet capture, and the records of one of them for replay.
//
// A flow is one direction of TCP or UDP traffic between two ends (FlowKey). ListCaptureFlows
// reads the whole capture once and counts, for each flow, its packets, the payload bytes they
// carry (retransmissions included: what the capture saw) and the times of its first and last
// packet. LoadCaptureFlow reads the capture twice: once to choose the flow, once to take its
// payload, for TCP put back in order as the receiving device read it (CTcpReassembler), for UDP
// one record per datagram. The records of the chosen flow are held in memory; the capture is
// streamed, never held.
//
// Times are the capture's. A packet without a time of its own (a pcapng Simple Packet Block)
// takes the time of the packet before it in the file.
//
// Any thread (each call has its own reader). Failures are reported by the result and a text
// ready to follow "'FILE': " in a message, never by exceptions.
#include <cstdint>
#include <string>
#include <vector>

#include "datafile/CaptureFile.h"
#include "datafile/FlowKey.h"
#include "datafile/FlowRecord.h"
#include "datafile/FlowSelector.h"

struct FlowSummary {
    FlowKey flow;
    std::uint64_t packets = 0;
    std::uint64_t payloadBytes = 0;
    std::int64_t firstNs = 0;  // times of its first and last packet (ns since 1970, UTC)
    std::int64_t lastNs = 0;
};

struct CaptureFlowList {
    CaptureFormat format = CaptureFormat::kNone;
    std::uint64_t packets = 0;       // every packet of the file
    std::uint64_t otherPackets = 0;  // those that are neither TCP nor UDP
    std::vector<FlowSummary> flows;  // in the order of their first packets
};

// False with `error` when the capture cannot be read, is damaged, or holds a packet that may be
// TCP or UDP and cannot be decoded (see DecodePacket).
bool ListCaptureFlows(const std::string& path, CaptureFlowList& list, std::string& error);

// Chooses the flow to play among `flows`: those that match `selector` and carry payload. One
// such flow is the choice; none, or several, is a refusal whose text lists the candidates (or,
// when none matches, every flow that carries data).
bool ChooseFlow(const std::vector<FlowSummary>& flows, const FlowSelector& selector,
                FlowKey& chosen, std::string& error);

struct CaptureFlow {
    FlowKey flow;
    // In the order they go out; each record's time is never before the previous one's.
    std::vector<FlowRecord> records;
    std::vector<FlowGap> gaps;     // TCP: bytes the capture never saw, in stream order
    std::uint64_t duplicates = 0;  // TCP segments that added nothing (retransmissions)
    std::uint64_t reordered = 0;   // TCP segments that came before an earlier one
};

// Reads the records of the flow ChooseFlow picks. Refused, besides for what ListCaptureFlows
// refuses: a packet of the flow whose payload the snap length cut (the bytes are not in the
// file), and, unless `bAllowGaps`, a TCP hole (its sequence number and time in the text; with
// `bAllowGaps` the holes are listed in `gaps` and the bytes around them are played).
bool LoadCaptureFlow(const std::string& path, const FlowSelector& selector, bool bAllowGaps,
                     CaptureFlow& flow, std::string& error);

// A hole as people read it: "40 bytes missing from sequence number 1001 (before packet 7,
// 2026-12-08 10:00:00.000120 UTC)".
std::string FormatFlowGap(const FlowGap& gap);
