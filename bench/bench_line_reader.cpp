// Line reading speed on a generated file of 1,000,000 lines (about 60 MB, CR LF line ends):
// binary and text mode of the line reader and the data list index, each against `wc -l` on the
// same file in the same run (best of three for each, after one warm-up pass that brings the
// file into the page cache).
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "datafile/LineIndex.h"
#include "datafile/LineReader.h"

namespace {
constexpr std::size_t kLines = 1000000;

std::string MakeFile(const std::string& folder) {
    const std::string path = folder + "/lines.log";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        std::perror(path.c_str());
        std::exit(1);
    }
    char line[128];
    for (std::size_t i = 0; i < kLines; ++i) {
        const int n = std::snprintf(
            line, sizeof line,
            "[2026-12-06 05:%02zu:%02zu] 0x%02zx 0x41 0x42 0x43 0x44 0x45 0x%02zx\r\n",
            (i / 60) % 60, i % 60, i & 0xFF, (i >> 8) & 0xFF);
        std::fwrite(line, 1, static_cast<std::size_t>(n), file);
    }
    std::fclose(file);
    return path;
}

double BestSeconds(const std::function<void()>& run) {
    double best = 1e30;
    for (int i = 0; i < 3; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run();
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        best = std::min(best, elapsed.count());
    }
    return best;
}

std::size_t CountLines(const std::string& path, LineMode mode) {
    CLineReader reader(mode);
    if (reader.Open(path) != FileError::None) {
        std::fprintf(stderr, "cannot open %s\n", path.c_str());
        std::exit(1);
    }
    std::size_t lines = 0;
    std::string line;
    while (reader.ReadLine(line) == ReadLineResult::Line) {
        ++lines;
    }
    return lines;
}
}  // namespace

int main() {
    std::string folder = (std::filesystem::temp_directory_path() / "bench-lines-XXXXXX").string();
    if (::mkdtemp(folder.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string path = MakeFile(folder);
    const auto bytes = std::filesystem::file_size(path);
    const std::string wc = "wc -l < '" + path + "' > /dev/null";
    if (std::system(wc.c_str()) != 0) {  // warm-up, and a check that wc is there
        std::fprintf(stderr, "wc -l failed\n");
        return 1;
    }
    CountLines(path, LineMode::Binary);

    const double wcSeconds = BestSeconds([&] { (void)std::system(wc.c_str()); });
    std::size_t binaryLines = 0;
    std::size_t textLines = 0;
    std::size_t indexLines = 0;
    const double binarySeconds =
        BestSeconds([&] { binaryLines = CountLines(path, LineMode::Binary); });
    const double textSeconds = BestSeconds([&] { textLines = CountLines(path, LineMode::Text); });
    const double indexSeconds = BestSeconds([&] {
        CLineIndex index;
        index.Build(path);
        indexLines = index.Count();
    });

    std::printf("file: %zu lines, %.1f MB\n", kLines, static_cast<double>(bytes) / 1e6);
    std::printf("%-22s %10s %14s %12s\n", "reader", "seconds", "lines/s", "vs wc -l");
    std::printf("%-22s %10.4f %14.0f %12s\n", "wc -l", wcSeconds, kLines / wcSeconds, "1.00");
    const struct {
        const char* name;
        double seconds;
        std::size_t lines;
    } rows[] = {{"CLineReader binary", binarySeconds, binaryLines},
                {"CLineReader text", textSeconds, textLines},
                {"CLineIndex::Build", indexSeconds, indexLines}};
    int status = 0;
    for (const auto& row : rows) {
        std::printf("%-22s %10.4f %14.0f %11.2fx\n", row.name, row.seconds,
                    static_cast<double>(row.lines) / row.seconds, row.seconds / wcSeconds);
        if (row.lines != kLines) {
            std::fprintf(stderr, "%s saw %zu lines, expected %zu\n", row.name, row.lines, kLines);
            status = 1;
        }
    }
    std::filesystem::remove_all(folder);
    return status;
}
