#pragma once
// Data files whose every line tells where it stands: "line 00000\n", "line 00001\n", ... (11 bytes
// each), so that a receiver can tell a line lost, repeated or out of order. Test use only.
#include <cstdio>
#include <string>

inline constexpr std::size_t kNumberedLineBytes = 11;

inline std::string NumberedLine(int n) {
    char text[32];
    std::snprintf(text, sizeof text, "line %05d\n", n);
    return text;
}

// Lines 0 to count - 1.
inline std::string NumberedLines(int count) {
    std::string text;
    text.reserve(static_cast<std::size_t>(count) * kNumberedLineBytes);
    for (int n = 0; n < count; ++n) {
        text += NumberedLine(n);
    }
    return text;
}

// The number of a line made by NumberedLine (with or without its line end); -1 for any other.
inline int NumberOfLine(const std::string& line) {
    int n = -1;
    const std::size_t length = line.size() - (!line.empty() && line.back() == '\n' ? 1 : 0);
    if (length != kNumberedLineBytes - 1 || std::sscanf(line.c_str(), "line %d", &n) != 1) {
        return -1;
    }
    return n;
}
