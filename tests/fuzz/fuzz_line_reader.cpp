// Any bytes read as lines: in binary mode the lines joined by LF give back the file; text mode
// differs only by the CR before each LF; the data list index shows the binary lines less the
// marker lines. The first input byte picks a small read buffer so that line ends fall across
// buffer boundaries.
#include <string>
#include <vector>

#include "FuzzFiles.h"
#include "datafile/DataFileKind.h"
#include "datafile/LineIndex.h"
#include "datafile/LineReader.h"

namespace {
std::vector<std::string> ReadAll(const std::string& path, LineMode mode, std::size_t bufferSize) {
    CLineReader reader(mode, bufferSize);
    FUZZ_CHECK(reader.Open(path) == FileError::None);
    std::vector<std::string> lines;
    std::string line;
    ReadLineResult result;
    while ((result = reader.ReadLine(line)) == ReadLineResult::Line) {
        lines.push_back(line);
    }
    FUZZ_CHECK(result == ReadLineResult::EndOfFile);
    return lines;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::size_t bufferSize = size > 0 ? 1 + data[0] % 32 : 1;
    const std::string path = FuzzScratchFolder() + "/lines";
    WriteFuzzFile(path, data, size);
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    const auto binary = ReadAll(path, LineMode::Binary, bufferSize);
    FUZZ_CHECK(binary == ReadAll(path, LineMode::Binary, CLineReader::kDefaultBufferSize));
    std::string joined;
    for (std::size_t i = 0; i < binary.size(); ++i) {
        joined += binary[i];
        if (i + 1 < binary.size() || (!bytes.empty() && bytes.back() == '\n')) {
            joined += '\n';
        }
    }
    FUZZ_CHECK(joined == bytes);

    const auto text = ReadAll(path, LineMode::Text, bufferSize);
    FUZZ_CHECK(text.size() == binary.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::string expected = binary[i];
        const bool bEndedByLf = i + 1 < binary.size() || (!bytes.empty() && bytes.back() == '\n');
        if (bEndedByLf && !expected.empty() && expected.back() == '\r') {
            expected.pop_back();
        }
        FUZZ_CHECK(text[i] == expected);
    }

    CLineIndex index(bufferSize);
    FUZZ_CHECK(index.Build(path) == 0);
    std::size_t shown = 0;
    for (const std::string& line : binary) {
        if (line.rfind(kTillstreamDataMarker, 0) == 0) {
            continue;
        }
        FUZZ_CHECK(shown < index.Count());
        FUZZ_CHECK(index.LineAt(shown) == line);
        ++shown;
    }
    FUZZ_CHECK(shown == index.Count());
    return 0;
}
