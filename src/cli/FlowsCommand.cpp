#include <algorithm>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/CommandOutput.h"
#include "cli/CommandParser.h"
#include "cli/DataFileCheck.h"
#include "datafile/CaptureFlows.h"
#include "datafile/UtcTime.h"

namespace {
constexpr char kFlowsUsage[] = "Usage: tillstream-cli flows CAPTURE\n";
constexpr char kFlowsDescription[] =
    "Lists the TCP and UDP flows of a packet capture (pcap or pcapng, as tcpdump and Wireshark\n"
    "write them; the kind is told by the file's content). A flow is one direction between two\n"
    "ends: one line each, in the order of their first packets, with its packets, the payload\n"
    "bytes they carry (retransmissions included) and the times of its first and last packet\n"
    "(UTC). A last line counts the packets, those that are neither TCP nor UDP included.\n"
    "A capture that is damaged or cut off, or holds a packet that may be TCP or UDP but cannot\n"
    "be read (an IP fragment, an unknown link type, headers cut by the snap length), is\n"
    "refused, naming the packet or the file offset.\n";
constexpr char kFlowsNotes[] =
    "Exit codes: 0 listed, 1 the capture cannot be read or is refused, 2 bad arguments.\n";

std::string PadLeft(const std::string& text, std::size_t width) {
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

std::string PadRight(const std::string& text, std::size_t width) {
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

// The table: a heading, then one aligned row per flow; text to the left, numbers to the right.
std::string FormatFlowTable(const CaptureFlowList& list) {
    std::vector<std::vector<std::string>> rows = {
        {"proto", "from", "to", "packets", "payload bytes", "first (UTC)", "last (UTC)"}};
    for (const FlowSummary& summary : list.flows) {
        rows.push_back({FlowProtocolName(summary.flow.protocol),
                        FormatEndpoint(summary.flow.source, summary.flow.sourcePort),
                        FormatEndpoint(summary.flow.destination, summary.flow.destinationPort),
                        std::to_string(summary.packets), std::to_string(summary.payloadBytes),
                        FormatUtcMicroseconds(summary.firstNs),
                        FormatUtcMicroseconds(summary.lastNs)});
    }
    std::vector<std::size_t> widths(rows.front().size(), 0);
    for (const auto& row : rows) {
        for (std::size_t n = 0; n < row.size(); ++n) {
            widths[n] = std::max(widths[n], row[n].size());
        }
    }
    std::string table;
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t n = 0; n < row.size(); ++n) {
            const bool bNumber = n == 3 || n == 4;
            line += (n == 0 ? "" : "  ") +
                    (bNumber ? PadLeft(row[n], widths[n]) : PadRight(row[n], widths[n]));
        }
        while (!line.empty() && line.back() == ' ') {
            line.pop_back();
        }
        table += line + "\n";
    }
    return table;
}
}  // namespace

int RunFlowsCommand(const CommandArgs& args, std::ostream& out, std::ostream& err) {
    CCommandParser parser("flows", kFlowsUsage, kFlowsDescription, kFlowsNotes);
    std::vector<std::string> files;
    parser.App().add_option("CAPTURE", files)->group("");
    if (const std::optional<int> code = parser.Parse(args, out, err)) {
        return *code;
    }
    if (files.size() != 1) {
        return parser.Refuse(err,
                             files.empty() ? "CAPTURE is missing" : "only one CAPTURE, please");
    }
    const std::string& path = files.front();
    if (!CheckRegularDataFile(err, "flows", path)) {
        return kExitFailure;
    }
    CaptureFlowList list;
    std::string error;
    if (!ListCaptureFlows(path, list, error)) {
        PrintCommandError(err, "flows", "'" + path + "': " + error);
        return kExitFailure;
    }
    std::uint64_t inFlows = 0;
    for (const FlowSummary& summary : list.flows) {
        inFlows += summary.packets;
    }
    out << FormatFlowTable(list) << list.packets << (list.packets == 1 ? " packet: " : " packets: ")
        << inFlows << " in " << list.flows.size()
        << (list.flows.size() == 1 ? " flow, " : " flows, ") << list.otherPackets
        << " neither TCP nor UDP" << std::endl;
    return kExitOk;
}
