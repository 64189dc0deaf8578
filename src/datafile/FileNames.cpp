#include "datafile/FileNames.h"

#include <cstdio>

#include "platform/FileSystem.h"

namespace {
// Where the base of the path ends: at the last "." of the file name, or at the end of the path
// when the file name has none. Only the file name is searched, so that a "." in a folder name
// never sends the companions into another folder, and a name without extension never gives a
// bare ".bak" in the current folder.
std::size_t BaseLength(const std::string& path) {
    std::size_t nameStart = 0;
    for (std::size_t i = path.size(); i > 0; --i) {
        if (IsPathSeparator(path[i - 1])) {
            nameStart = i;
            break;
        }
    }
    const std::size_t dot = path.rfind('.');
    // A dot that opens the name (a hidden file such as ".receipt") is part of the name: cutting
    // there would give every hidden file of the folder the same companions.
    if (dot == std::string::npos || dot <= nameStart) {
        return path.size();
    }
    return dot;
}
}  // namespace

std::string BackupFilePath(const std::string& dataFile) {
    return dataFile.substr(0, BaseLength(dataFile)) + ".bak";
}

std::string TempFilePath(const std::string& dataFile) {
    return dataFile.substr(0, BaseLength(dataFile)) + ".tmp";
}

std::string FormatTimestamp14(const LocalTime& time) {
    // Wide enough for any int fields, so that nonsense input cannot overflow the buffer.
    char text[96];
    std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d", time.year, time.month, time.day,
                  time.hour, time.minute, time.second);
    return text;
}

namespace {
std::string CaptureFileStem(const std::string& folder, const LocalTime& time) {
    std::string stem = folder;
    if (stem.empty() || !IsPathSeparator(stem.back())) {
        stem += PreferredPathSeparator();
    }
    return stem + FormatTimestamp14(time);
}
}  // namespace

std::string CaptureFilePath(const std::string& folder, const LocalTime& time) {
    return CaptureFileStem(folder, time) + ".dat";
}

std::string UniqueCaptureFilePath(const std::string& folder, const LocalTime& time) {
    const std::string stem = CaptureFileStem(folder, time);
    std::string path = stem + ".dat";
    for (unsigned long n = 2; PathExists(path); ++n) {
        path = stem + "-" + std::to_string(n) + ".dat";
    }
    return path;
}
