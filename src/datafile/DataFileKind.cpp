#include "datafile/DataFileKind.h"

#include <cstring>

#include "platform/FileHandle.h"
#include "platform/Trace.h"

namespace {
// Enough of the first line to decide: the marker and the stamp both lie within it. A longer line
// is cut here; its length then is certainly past 21 characters.
constexpr std::size_t kHeadSize = 256;
constexpr std::size_t kMarkerLength = sizeof kTillstreamDataMarker - 1;
constexpr std::size_t kStampLineLength = 21;
}  // namespace

int IsTillstreamDataFile(const std::string& path) {
    CFileHandle file;
    if (const FileError error = file.OpenForRead(path); error != FileError::None) {
        Trace("[%s][IsTillstreamDataFile] ERROR - Can't open file(Path: %s, ErrCode: %u, %s)",
              kProgramName, path.c_str(), FileErrorCode(error), FileErrorText(error));
        return kDataFileUnreadable;
    }
    char head[kHeadSize];
    std::size_t size = 0;
    const char* lf = nullptr;
    while (size < kHeadSize && lf == nullptr) {
        const FileReadResult read = file.Read(head + size, kHeadSize - size);
        if (read.error != FileError::None) {
            Trace("[%s][IsTillstreamDataFile] ERROR - Can't read file(Path: %s, ErrCode: %u, %s)",
                  kProgramName, path.c_str(), FileErrorCode(read.error), FileErrorText(read.error));
            return kDataFileUnreadable;
        }
        if (read.bytes == 0) {
            break;
        }
        lf = static_cast<const char*>(std::memchr(head + size, '\n', read.bytes));
        size += read.bytes;
    }
    file.Close();

    // The first line in text mode: up to the LF, without the CR of a CR LF pair.
    std::size_t length = lf != nullptr ? static_cast<std::size_t>(lf - head) : size;
    if (lf != nullptr && length > 0 && head[length - 1] == '\r') {
        --length;
    }
    if (length == 0) {
        Trace("[%s][IsTillstreamDataFile] ERROR - No first line(Path: %s, %s)", kProgramName,
              path.c_str(), size == 0 ? "empty file" : "empty line");
        return kDataFileNoFirstLine;
    }
    if (length >= kMarkerLength && std::memcmp(head, kTillstreamDataMarker, kMarkerLength) == 0) {
        return kDataFileConverted;
    }
    if (length >= kStampLineLength && head[0] == '[' && head[20] == ']') {
        return kDataFileStampedLog;
    }
    return kDataFileRaw;
}
