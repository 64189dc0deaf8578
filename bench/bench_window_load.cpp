// How fast the window loads a large data file: a generated file of 1,000,000 lines (about 60 MB)
// is chosen with "..." until the data list shows its first page. Prints the time, the memory the
// load added above an empty window (peak resident size), and the time of `wc -l` on the same
// file in the same run as a yardstick for reading the file once.
//
// Usage: bench_window_load [lines]   (runs on the offscreen platform unless one is chosen)
#include <unistd.h>
#include <QApplication>
#include <QTreeView>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "app/TillstreamDlg.h"
#include "dialogs/UserPrompts.h"

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

    QApplication app(argc, argv);
    CTillstreamDlg dlg;
    dlg.show();
    QApplication::processEvents();
    const long rssEmpty = StatusKiB("VmRSS");
    const long peakEmpty = StatusKiB("VmHWM");

    SetFileChooserHandler([&path] { return QString::fromStdString(path); });
    auto* list = qobject_cast<QTreeView*>(dlg.Control(IDC_LIST_DATA));
    const auto start = Clock::now();
    dlg.OnCommand(IDC_BUTTON_SELECT_FILE);
    QApplication::processEvents();
    // The first page is drawn when the list's viewport has been rendered once.
    const QPixmap firstPage = list->viewport()->grab();
    const double loadSeconds = Seconds(Clock::now() - start);
    const long peakLoaded = StatusKiB("VmHWM");
    const long rssLoaded = StatusKiB("VmRSS");

    const double wcSeconds = TimeWc(path);
    std::printf(
        "bench_window_load: %ld lines, %lld bytes\n", static_cast<long>(dlg.LineCount()),
        static_cast<long long>(std::ifstream(path, std::ios::ate | std::ios::binary).tellg()));
    std::printf("  load until first page shown: %.3f s (first page %dx%d px)\n", loadSeconds,
                firstPage.width(), firstPage.height());
    std::printf("  wc -l on the same file:       %.3f s\n", wcSeconds);
    std::printf("  ratio load / wc -l:           %.1f\n",
                wcSeconds > 0 ? loadSeconds / wcSeconds : 0.0);
    std::printf("  empty window RSS:             %ld KiB (peak %ld KiB)\n", rssEmpty, peakEmpty);
    std::printf("  after load RSS:               %ld KiB (peak %ld KiB)\n", rssLoaded, peakLoaded);
    std::printf("  peak RSS above empty window:  %ld KiB (%.1f bytes per line)\n",
                peakLoaded - rssEmpty,
                lines > 0 ? (peakLoaded - rssEmpty) * 1024.0 / static_cast<double>(lines) : 0.0);

    SetFileChooserHandler(nullptr);
    dlg.done(0);
    std::remove(path.c_str());
    std::system(("rm -rf '" + root + "'").c_str());
    return dlg.LineCount() == lines ? 0 : 1;
}
