// Any file converted and restored: the conversion succeeds, leaves the original as the backup,
// writes only the marker and payload lines each ended by CR LF, and the restore gives the file
// back byte for byte and removes the backup.
#include <string>

#include "FuzzFiles.h"
#include "datafile/Conversion.h"
#include "datafile/DataFileKind.h"
#include "datafile/FileNames.h"
#include "platform/FileSystem.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = FuzzScratchFolder() + "/log.txt";
    WriteFuzzFile(path, data, size);
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    FUZZ_CHECK(MakeTillstreamDataFile(path) == kMakeOk);
    FUZZ_CHECK(ReadFuzzFile(BackupFilePath(path)) == bytes);
    FUZZ_CHECK(!PathExists(TempFilePath(path)));

    const std::string converted = ReadFuzzFile(path);
    const std::string marker = std::string(kTillstreamDataMarker) + "\r\n";
    FUZZ_CHECK(converted.rfind(marker, 0) == 0);
    std::size_t lines = 0;
    for (std::size_t pos = marker.size(); pos < converted.size(); ++lines) {
        const std::size_t lf = converted.find('\n', pos);
        FUZZ_CHECK(lf != std::string::npos && lf > pos && converted[lf - 1] == '\r');
        const std::string payload = converted.substr(pos, lf - 1 - pos);
        FUZZ_CHECK(payload.size() >= 4 && payload.rfind("0x", 0) == 0);
        FUZZ_CHECK(bytes.find(payload) != std::string::npos);  // copied, never made up
        pos = lf + 1;
    }
    std::size_t sourceLines = 0;
    for (char c : bytes) {
        sourceLines += c == '\n';
    }
    FUZZ_CHECK(lines <= sourceLines + 1);
    FUZZ_CHECK(IsTillstreamDataFile(path) == kDataFileConverted);

    FUZZ_CHECK(RestoreDataFile(path) == kRestoreOk);
    FUZZ_CHECK(ReadFuzzFile(path) == bytes);
    FUZZ_CHECK(!PathExists(BackupFilePath(path)));
    return 0;
}
