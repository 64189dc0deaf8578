// Any file classified by its first line must get the kind that its first text-mode line says,
// however long that line is and wherever its end lies.
#include <string>

#include "FuzzFiles.h"
#include "datafile/DataFileKind.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = FuzzScratchFolder() + "/first-line";
    WriteFuzzFile(path, data, size);
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    std::string first = bytes.substr(0, bytes.find('\n'));
    if (first.size() < bytes.size() && !first.empty() && first.back() == '\r') {
        first.pop_back();
    }
    int expected = kDataFileRaw;
    if (first.empty()) {
        expected = kDataFileNoFirstLine;
    } else if (first.rfind(kTillstreamDataMarker, 0) == 0) {
        expected = kDataFileConverted;
    } else if (first.size() >= 21 && first[0] == '[' && first[20] == ']') {
        expected = kDataFileStampedLog;
    }
    FUZZ_CHECK(IsTillstreamDataFile(path) == expected);
    return 0;
}
