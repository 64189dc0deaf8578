// The window under faults: a capture whose file can no longer be written, a serial device
// that disappears while playing, an option record that cannot be saved, and Start and Stop
// pressed a thousand times in quick succession.
// The pty helpers come before Qt, whose "signals" keyword would clash with one of their fields.
#include "HangupPty.h"
#include "PtyPair.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "LoopbackServer.h"
#include "support/WindowHarness.h"
#include "support/WindowTest.h"
#include "ui/OutputOptionDlg.h"
#include "ui/TillstreamDlg.h"

namespace {
constexpr int kWaitMs = 10000;

// Every file this process writes is limited to `bytes` while it lives, as on a full disk: a
// write past the limit fails with EFBIG instead of killing the process.
class CFileSizeLimit {
  public:
    explicit CFileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        m_oldHandler = ::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        m_bSet = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~CFileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        ::signal(SIGXFSZ, m_oldHandler);
    }
    CFileSizeLimit(const CFileSizeLimit&) = delete;
    CFileSizeLimit& operator=(const CFileSizeLimit&) = delete;
    bool IsSet() const { return m_bSet; }

  private:
    rlimit m_saved{};
    sighandler_t m_oldHandler = SIG_DFL;
    bool m_bSet = false;
};

// Ends the test program when the test it guards has not finished in time: a deadlock shows
// as a failure with a message rather than as a hung test run.
class CWatchdog {
  public:
    explicit CWatchdog(std::chrono::seconds limit)
        : m_thread([this, limit](std::stop_token stop) {
              std::mutex mutex;
              std::condition_variable_any done;
              std::unique_lock lock(mutex);
              if (!done.wait_for(lock, stop, limit, [] { return false; }) &&
                  !stop.stop_requested()) {
                  std::fprintf(stderr, "FAIL: the test hung (deadlock?)\n");
                  std::_Exit(3);
              }
          }) {}

  private:
    std::jthread m_thread;
};
}  // namespace

class FaultsWindowTest : public CWindowTest {
    Q_OBJECT
  private:
  private slots:

    void aCaptureWhoseFileCannotGrowEndsAndPutsTheButtonsBack() {
        PtyPair pty;
        QVERIFY(pty.IsOpen());
        pty.LinkAsComPort(2);
        const std::string folder = m_home->Path("captures");
        OptionRecord record = MakeDefaultOptionRecord();
        record.inputComPort = 2;
        SetCaptureFolder(record, folder.c_str());
        StoreOptions(record);
        CTillstreamDlg dlg;

        constexpr rlim_t kLimit = 4096;
        CFileSizeLimit limit(kLimit);
        QVERIFY(limit.IsSet());
        dlg.OnCommand(IDC_BUTTON_INPUT_START);
        QVERIFY(!Button(dlg, IDC_BUTTON_INPUT_START)->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(CaptureFiles(folder).size(), 1, kWaitMs);
        const std::string file = CaptureFiles(folder).first().toStdString();
        // Knock until the port is open and the first byte is in, then send past the limit.
        std::string written;
        QTRY_VERIFY_WITH_TIMEOUT(
            (pty.WriteToMaster("."), written += ".", !ReadFileBytes(file).empty()), kWaitMs);
        const std::size_t leadIn = written.size();
        for (int n = 0; n < 20 && dlg.IsInputRunning(); ++n) {
            std::string piece;
            for (int k = 0; k < 500; ++k) {
                piece += static_cast<char>('a' + (n * 500 + k) % 26);
            }
            pty.WriteToMaster(piece);
            written += piece;
            QTest::qWait(20);
        }

        // The run ends on its own and the input buttons are idle again.
        QTRY_VERIFY_WITH_TIMEOUT(!dlg.IsInputRunning(), kWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(Button(dlg, IDC_BUTTON_INPUT_START)->isEnabled(), kWaitMs);
        QVERIFY(!Button(dlg, IDC_BUTTON_INPUT_STOP)->isEnabled());
        // Every byte that arrived before the failure is in the file, in order.
        const std::string captured = ReadFileBytes(file);
        QCOMPARE(captured.size(), std::size_t(kLimit));
        bool bFound = false;
        for (std::size_t skipped = 0; skipped <= leadIn && !bFound; ++skipped) {
            bFound = written.compare(skipped, captured.size(), captured) == 0;
        }
        QVERIFY2(bFound, "the file is not the bytes that arrived");
        // The window goes on: a new capture can be started and stopped.
        dlg.OnCommand(IDC_BUTTON_INPUT_STOP);
    }

    void aSerialDeviceThatDisappearsLeavesTheWindowUsable() {
        HangupPty device;
        device.LinkAsComPort(3);
        OptionRecord record = MakeDefaultOptionRecord();
        record.outputInterface = kInterfaceRs232;
        record.outputComPort = 3;
        record.outputBaudRate = 115200;
        record.delayMs = 5;
        record.loopEnabled = 1;
        StoreOptions(record);
        CTillstreamDlg dlg;
        dlg.show();
        const std::string path = m_home->Path("day.txt");
        WriteFileBytes(path, "ONE\nTWO\nTHREE\n");
        Choose(dlg, path);

        dlg.OnCommand(IDC_BUTTON_OUTPUT_START);
        std::string arrived;
        QTRY_VERIFY_WITH_TIMEOUT((arrived += device.Read(1, std::chrono::milliseconds(10)),
                                  arrived.find("TWO\n") != std::string::npos),
                                 kWaitMs);
        device.Hangup();
        QTest::qWait(300);  // the run meets the lost device, line after line

        // The window still does what it is asked.
        const std::string other = m_home->Path("other.txt");
        WriteFileBytes(other, "A\nB\n");
        Choose(dlg, other);
        QCOMPARE(dlg.LineCount(), 2);
        dlg.OnCommand(IDC_BUTTON_OUTPUT_STOP);
        QTRY_VERIFY_WITH_TIMEOUT(!dlg.IsOutputRunning(), kWaitMs);
        QVERIFY(Button(dlg, IDC_BUTTON_OUTPUT_START)->isEnabled());
        QVERIFY(!Button(dlg, IDC_BUTTON_OUTPUT_STOP)->isEnabled());
        QVERIFY(dlg.Control(IDC_LIST_DATA)->isEnabled());
        QVERIFY2(m_prompts->texts.isEmpty(), qPrintable(m_prompts->texts.join('|')));
    }

    void anOptionRecordThatCannotBeSavedStaysInForceInTheWindow() {
        // The superuser the tests run as ignores folder permissions: a folder named like the
        // value makes the save fail instead.
        QVERIFY(QDir().mkpath(QPath(m_home->SettingsFolder() + "/OptionData")));
        CTillstreamDlg dlg;
        QTimer::singleShot(0, this, [] {
            auto* options = qobject_cast<COutputOptionDlg*>(QApplication::activeModalWidget());
            QVERIFY(options != nullptr);
            qobject_cast<QCheckBox*>(options->Control(1015))->setChecked(true);
            qobject_cast<QLineEdit*>(options->Control(1018))->setText(QStringLiteral("250"));
            options->OnButtonOk();
        });
        dlg.OnCommand(IDC_BUTTON_OUTPUT_OPTION);
        QCOMPARE(dlg.Options().loopEnabled, 1);
        QCOMPARE(dlg.Options().delayMs, 250u);
        auto* rows = dlg.OptionModel();
        QCOMPARE(rows->index(1, 2).data().toString(), QStringLiteral("ON"));
        QCOMPARE(rows->index(2, 2).data().toString(), QStringLiteral("250 msec"));
        QVERIFY(QFileInfo(QPath(m_home->SettingsFolder() + "/OptionData")).isDir());
        QVERIFY(m_prompts->texts.isEmpty());
    }

    void aThousandQuickStartsAndStopsNeverOverlapOrHang() {
        CWatchdog watchdog(std::chrono::seconds(600));
        LoopbackTcpServer receiver;
        OptionRecord record = MakeDefaultOptionRecord();
        record.outputInterface = kInterfaceTcpClient;
        record.remoteAddress = kLoopbackAddress;
        record.remotePort = receiver.Port();
        record.delayMs = 0;
        record.loopEnabled = 1;
        StoreOptions(record);
        CTillstreamDlg dlg;
        dlg.show();
        const std::string path = m_home->Path("loop.txt");
        WriteFileBytes(path, "A\nB\nC\n");
        Choose(dlg, path);

        int started = 0;
        for (int n = 0; n < 1000; ++n) {
            dlg.OnCommand(IDC_BUTTON_OUTPUT_START);
            started += Button(dlg, IDC_BUTTON_OUTPUT_STOP)->isEnabled() ? 1 : 0;
            QCoreApplication::processEvents();
            dlg.OnCommand(IDC_BUTTON_OUTPUT_STOP);
            QCoreApplication::processEvents();
        }
        QCOMPARE(started, 1000);
        QTRY_VERIFY_WITH_TIMEOUT(!dlg.IsOutputRunning(), 60000);
        QVERIFY(Button(dlg, IDC_BUTTON_OUTPUT_START)->isEnabled());
        QVERIFY(!Button(dlg, IDC_BUTTON_OUTPUT_STOP)->isEnabled());
        QVERIFY(receiver.WaitForClosed(receiver.ConnectionCount()));

        // Two runs at once would share the window's one connection and mix their lines; every
        // connection instead holds one run's lines from the first, in order.
        const std::string looping = "A\nB\nC\nA\nB\nC\n";
        std::string oneRun;
        std::size_t withLines = 0;
        for (const std::string& bytes : receiver.ReceivedPerConnection()) {
            oneRun.clear();
            while (oneRun.size() < bytes.size()) {
                oneRun += looping;
            }
            QVERIFY2(bytes == oneRun.substr(0, bytes.size()), bytes.substr(0, 40).c_str());
            withLines += bytes.empty() ? 0 : 1;
        }
        std::printf("FIGURES: 1000 starts and stops: %zu connections, %zu with lines\n",
                    receiver.ConnectionCount(), withLines);

        // And the window still plays a run to its end.
        record.loopEnabled = 0;
        record.delayMs = 1;
        StoreOptions(record);
        dlg.InitData();
        const std::size_t before = receiver.ByteCount();
        dlg.OnCommand(IDC_BUTTON_OUTPUT_START);
        QVERIFY(receiver.WaitForBytes(before + 6));
        QTRY_VERIFY_WITH_TIMEOUT(Button(dlg, IDC_BUTTON_OUTPUT_START)->isEnabled(), kWaitMs);
    }
};

QTEST_MAIN(FaultsWindowTest)
#include "tst_faults.moc"
