// How fast the window loads a large data file: a generated file of 1,000,000 lines (about 60 MB)
// is loaded as "..." loads a chosen file, until the data list shows its first page. Prints the
// time, the memory the load added above an empty window (peak resident size), and the time of
// `wc -l` on the same file in the same run as a yardstick for reading the file once. Then the
// same for a file of one 50 MB line without a line end (a binary capture), which must load like
// a small file.
//
// Usage: bench_window_load [lines [long-line-MB]]
//        (runs on the offscreen platform unless one is chosen)
#include <unistd.h>
#include <QAbstractItemView>
#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "gui_qt/QtDialogView.h"
#include "gui_qt/QtViewFactory.h"
#include "ui/TillstreamDlg.h"

namespace {
using Clock = std::chrono::steady_clock;

// Peak and current resident size of this process, in KiB, from /proc/self/status.
long StatusKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(status, line)) {
        if (line.rfind(key, 0) == 0) {
            return std::atol(line.c_str() + key.size());
        }
    }
    return -1;
}

// Starts the peak resident size (VmHWM) afresh from the current one, so that each load is
// measured on its own. False where the kernel does not offer it.
bool ResetPeak() {
    std::ofstream clearRefs("/proc/self/clear_refs");
    clearRefs << "5\n";
    clearRefs.flush();
    return static_cast<bool>(clearRefs);
}

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// Runs `wc -l` on the file and returns its wall time (the best of three runs).
double TimeWc(const std::string& path) {
    double best = 1e9;
    for (int run = 0; run < 3; ++run) {
        const auto start = Clock::now();
        const std::string command = "wc -l '" + path + "' > /dev/null";
        if (std::system(command.c_str()) != 0) {
            return -1;
        }
        best = std::min(best, Seconds(Clock::now() - start));
    }
    return best;
}

struct LoadFigures {
    int lines = 0;
    double seconds = 0;
    QSize firstPage;
    long rssEmpty = 0;    // KiB, the shown window before the load
    long peakEmpty = 0;   // KiB
    long rssLoaded = 0;   // KiB
    long peakLoaded = 0;  // KiB
};

// Opens a window, chooses `path` with "..." and measures until the list's first page is drawn.
LoadFigures MeasureLoad(const std::string& path) {
    LoadFigures figures;
    CQtViewFactory factory;
    CTillstreamDlg dlg(factory);
    dlg.Create(nullptr);
    auto& view = dynamic_cast<CQtDialogView&>(*dlg.View());
    view.show();
    QApplication::processEvents();
    ResetPeak();
    figures.rssEmpty = StatusKiB("VmRSS");
    figures.peakEmpty = StatusKiB("VmHWM");

    auto* list = qobject_cast<QAbstractItemView*>(view.Control(IDC_LIST_DATA));
    const auto start = Clock::now();
    // What "..." does once the chooser has given the path.
    dlg.LoadChosenFile(path);
    QApplication::processEvents();
    // The first page is drawn when the list's viewport has been rendered once.
    figures.firstPage = list->viewport()->grab().size();
    figures.seconds = Seconds(Clock::now() - start);
    figures.peakLoaded = StatusKiB("VmHWM");
    figures.rssLoaded = StatusKiB("VmRSS");
    figures.lines = dlg.LineCount();
    dlg.EndDialog(0);
    return figures;
}

long long FileSize(const std::string& path) {
    return static_cast<long long>(std::ifstream(path, std::ios::ate | std::ios::binary).tellg());
}
}  // namespace

int main(int argc, char** argv) {
    const long lines = argc > 1 ? std::atol(argv[1]) : 1000000;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // A private settings and runtime folder, so no stored options or running instance count.
    char folder[] = "/tmp/tillstream-bench-XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string root = folder;
    setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", root.c_str(), 1);

    // Receipt-like lines of about 60 bytes with CR LF ends.
    const std::string path = root + "/million.txt";
    {
        std::ofstream out(path, std::ios::binary);
        char line[128];
        for (long i = 0; i < lines; ++i) {
            const int n =
                std::snprintf(line, sizeof line, "%08ld ITEM %-20s QTY %3ld PRICE %7.2f\r\n", i,
                              "COFFEE", i % 100, static_cast<double>(i % 10000) / 100.0);
            out.write(line, n);
        }
    }
    const double wcWarm = TimeWc(path);  // also brings the file into the page cache
    (void)wcWarm;

    // One line of pseudo-random bytes without a line end, like a binary capture.
    const long longLineMiB = argc > 2 ? std::atol(argv[2]) : 50;
    const std::string longPath = root + "/one-line.bin";
    {
        std::ofstream out(longPath, std::ios::binary);
        std::string block(1 << 20, '\0');
        std::uint32_t state = 2463534242u;
        for (long mib = 0; mib < longLineMiB; ++mib) {
            for (char& c : block) {
                state ^= state << 13;
                state ^= state >> 17;
                state ^= state << 5;
                c = static_cast<char>(state & 0xFF);
                if (c == '\n') {
                    c = 'x';
                }
            }
            out.write(block.data(), static_cast<std::streamsize>(block.size()));
        }
    }
    (void)TimeWc(longPath);

    QApplication app(argc, argv);
    const LoadFigures many = MeasureLoad(path);
    const double wcSeconds = TimeWc(path);
    std::printf("bench_window_load: %d lines, %lld bytes\n", many.lines, FileSize(path));
    std::printf("  load until first page shown: %.3f s (first page %dx%d px)\n", many.seconds,
                many.firstPage.width(), many.firstPage.height());
    std::printf("  wc -l on the same file:       %.3f s\n", wcSeconds);
    std::printf("  ratio load / wc -l:           %.1f\n",
                wcSeconds > 0 ? many.seconds / wcSeconds : 0.0);
    std::printf("  empty window RSS:             %ld KiB (peak %ld KiB)\n", many.rssEmpty,
                many.peakEmpty);
    std::printf("  after load RSS:               %ld KiB (peak %ld KiB)\n", many.rssLoaded,
                many.peakLoaded);
    std::printf(
        "  peak RSS above empty window:  %ld KiB (%.1f bytes per line)\n",
        many.peakLoaded - many.rssEmpty,
        lines > 0 ? (many.peakLoaded - many.rssEmpty) * 1024.0 / static_cast<double>(lines) : 0.0);
    std::fflush(stdout);

    const LoadFigures one = MeasureLoad(longPath);
    std::printf("bench_window_load: one line of %lld bytes without a line end\n",
                FileSize(longPath));
    std::printf("  one long line, load until first page shown: %.3f s\n", one.seconds);
    std::printf("  one long line, peak RSS above empty window: %ld KiB\n",
                one.peakLoaded - one.rssEmpty);

    std::remove(path.c_str());
    std::remove(longPath.c_str());
    std::system(("rm -rf '" + root + "'").c_str());
    return many.lines == lines && one.lines == 1 ? 0 : 1;
}
