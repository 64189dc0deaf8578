#include "cli/RigDisplay.h"

#include <algorithm>
#include <cstdio>
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

void CRigDisplay::Draw(const std::vector<std::string>& lines) {
    if (!m_bLive) {
        return;
    }
    std::lock_guard lock(m_mutex);
    m_lines.assign(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(
                                                      std::min(lines.size(), kRigLiveLanes)));
    if (lines.size() > kRigLiveLanes) {
        m_lines.push_back("... and " + std::to_string(lines.size() - kRigLiveLanes) +
                          " more lanes");
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
