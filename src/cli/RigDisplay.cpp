#include "cli/RigDisplay.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <ostream>

namespace {
std::string Figure(double ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", ms);
    return text;
}

std::string PadLeft(const std::string& text, std::size_t width) {
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

std::string PadRight(const std::string& text, std::size_t width) {
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}
}  // namespace

std::string FormatRigSummary(const std::vector<RigSummaryRow>& rows) {
    const std::vector<std::string> heading = {
        "lane", "to", "file", "sent", "not delivered", "mean deviation ms", "p99 deviation ms"};
    std::vector<std::vector<std::string>> cells;
    for (const RigSummaryRow& row : rows) {
        const bool bCadence = row.intervals > 0;
        cells.push_back({std::to_string(row.lane), row.target, row.file, std::to_string(row.sent),
                         std::to_string(row.lost), bCadence ? Figure(row.meanMs) : "-",
                         bCadence ? Figure(row.p99Ms) : "-"});
    }
    std::vector<std::size_t> widths;
    for (const std::string& title : heading) {
        widths.push_back(title.size());
    }
    for (const auto& line : cells) {
        for (std::size_t n = 0; n < line.size(); ++n) {
            widths[n] = std::max(widths[n], line[n].size());
        }
    }
    // Text columns to the left, numbers to the right.
    auto format = [&widths](const std::vector<std::string>& line) {
        std::string text;
        for (std::size_t n = 0; n < line.size(); ++n) {
            const bool bText = n == 1 || n == 2;
            text += (n == 0 ? "" : "  ") +
                    (bText ? PadRight(line[n], widths[n]) : PadLeft(line[n], widths[n]));
        }
        while (!text.empty() && text.back() == ' ') {
            text.pop_back();
        }
        return text + "\n";
    };
    std::string table = format(heading);
    for (const auto& line : cells) {
        table += format(line);
    }
    return table;
}

std::string FormatRigDigest(const std::vector<RigSummaryRow>& rows) {
    std::uint64_t sent = 0;
    std::uint64_t lost = 0;
    std::size_t troubled = 0;
    ReplyFigures replies;
    std::size_t nWaiting = 0;  // lanes that wait for answers
    std::vector<double> p99s;
    for (const RigSummaryRow& row : rows) {
        sent += row.sent;
        lost += row.lost;
        if (row.replies) {
            replies.answered += row.replies->answered;
            replies.unanswered += row.replies->unanswered;
            ++nWaiting;
        }
        troubled += !row.failure.empty() || (row.sent > 0 && row.lost == row.sent) ? 1 : 0;
        if (row.intervals > 0) {
            p99s.push_back(row.p99Ms);
        }
    }
    std::string text = "lanes " + std::to_string(rows.size()) + ": sent " + std::to_string(sent) +
                       ", not delivered " + std::to_string(lost) + ", lanes that did not play " +
                       "or reached no device " + std::to_string(troubled) + "\n";
    if (nWaiting > 0) {
        text += "replies: " + std::to_string(replies.answered) + " answered, " +
                std::to_string(replies.unanswered) + " unanswered, over " +
                std::to_string(nWaiting) + " lanes that wait for answers\n";
    }
    if (p99s.empty()) {
        return text + "per-lane p99 deviation ms: - (no lane had pauses)\n";
    }
    std::sort(p99s.begin(), p99s.end());
    // Nearest rank, as for the lanes' own percentiles.
    auto rank = [&p99s](double fraction) {
        const auto at =
            static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(p99s.size())));
        return p99s[std::max<std::size_t>(at, 1) - 1];
    };
    text += "per-lane p99 deviation ms: median " + Figure(rank(0.5)) + ", 99th percentile " +
            Figure(rank(0.99)) + ", worst " + Figure(p99s.back()) + " (over " +
            std::to_string(p99s.size()) + " lanes with pauses)\n";
    std::vector<RigSummaryRow> worst;
    for (const RigSummaryRow& row : rows) {
        if (row.intervals > 0) {
            worst.push_back(row);
        }
    }
    const std::size_t nWorst = std::min<std::size_t>(10, worst.size());
    std::partial_sort(worst.begin(), worst.begin() + static_cast<std::ptrdiff_t>(nWorst),
                      worst.end(), [](const RigSummaryRow& a, const RigSummaryRow& b) {
                          return a.p99Ms > b.p99Ms || (a.p99Ms == b.p99Ms && a.lane < b.lane);
                      });
    worst.resize(nWorst);
    return text + "the " + std::to_string(nWorst) + " lanes with the largest p99 deviation:\n" +
           FormatRigSummary(worst);
}

std::string FormatRigReport(const std::vector<RigSummaryRow>& rows) {
    nlohmann::json lanes = nlohmann::json::array();
    for (const RigSummaryRow& row : rows) {
        nlohmann::json lane = {{"lane", row.lane},
                               {"target", row.target},
                               {"file", row.file},
                               {"sent", row.sent},
                               {"not_delivered", row.lost},
                               {"mean_deviation_ms", nullptr},
                               {"p99_deviation_ms", nullptr},
                               {"connections", nullptr},
                               {"failure", nullptr}};
        if (row.intervals > 0) {
            // Rounded to the microsecond, as the table shows them.
            lane["mean_deviation_ms"] = std::round(row.meanMs * 1000) / 1000;
            lane["p99_deviation_ms"] = std::round(row.p99Ms * 1000) / 1000;
        }
        if (row.connections) {
            lane["connections"] = *row.connections;
        }
        if (!row.failure.empty()) {
            lane["failure"] = row.failure;
        }
        lane["answered"] = nullptr;
        lane["unanswered"] = nullptr;
        lane["mean_reply_ms"] = nullptr;
        lane["p99_reply_ms"] = nullptr;
        if (row.replies) {
            lane["answered"] = row.replies->answered;
            lane["unanswered"] = row.replies->unanswered;
            if (row.replies->answered > 0) {
                lane["mean_reply_ms"] = std::round(row.replies->meanMs * 1000) / 1000;
                lane["p99_reply_ms"] = std::round(row.replies->p99Ms * 1000) / 1000;
            }
        }
        lanes.push_back(std::move(lane));
    }
    return nlohmann::json{{"lanes", std::move(lanes)}}.dump() + "\n";
}

void CRigDisplay::EraseBlock() {
    if (m_nShown == 0) {
        return;
    }
    // To the start of the block's first line, then everything below it.
    m_err << "\r\033[" << m_nShown << "A\033[J";
    m_nShown = 0;
}

void CRigDisplay::WriteBlock() {
    std::size_t shown = 0;
    for (const std::string& line : m_lines) {
        m_err << line << "\n";
        ++shown;
    }
    m_err << std::flush;
    m_nShown = shown;
}

void CRigDisplay::Draw(const std::vector<std::string>& lines, std::size_t nLanes) {
    if (!m_bLive) {
        return;
    }
    std::lock_guard lock(m_mutex);
    const std::size_t shown = std::min(lines.size(), kRigLiveLanes);
    m_lines.assign(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(shown));
    if (nLanes > shown) {
        m_lines.push_back("... and " + std::to_string(nLanes - shown) + " more lanes");
    }
    EraseBlock();
    WriteBlock();
}

void CRigDisplay::Message(const std::string& text) {
    std::lock_guard lock(m_mutex);
    EraseBlock();
    m_err << text << "\n";
    if (m_bLive) {
        WriteBlock();
    } else {
        m_err << std::flush;
    }
}

void CRigDisplay::Clear() {
    std::lock_guard lock(m_mutex);
    EraseBlock();
    m_err << std::flush;
    m_lines.clear();
}
