// Capture driven from the window's (hidden) input buttons, with a pseudo-terminal as the port.
// The pty helper comes before Qt, whose "signals" keyword would clash with one of its fields.
#include "PtyPair.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTest>

#include "support/WindowHarness.h"
#include "support/WindowTest.h"
#include "ui/TillstreamDlg.h"

namespace {
constexpr int kWaitMs = 10000;

OptionRecord CaptureOptions(int comPort, const std::string& folder) {
    OptionRecord record = MakeDefaultOptionRecord();
    record.inputComPort = comPort;
    SetCaptureFolder(record, folder.c_str());
    return record;
}
}  // namespace

class CaptureWindowTest : public CWindowTest {
    Q_OBJECT
  private slots:

    void captureWritesWhatArrivesUntilStopped() {
        PtyPair pty;
        QVERIFY(pty.IsOpen());
        pty.LinkAsComPort(2);
        const std::string folder = m_home->Path("captures/day");  // missing: made by the run
        StoreOptions(CaptureOptions(2, folder));
        CTillstreamDlg dlg;

        dlg.OnCommand(IDC_BUTTON_INPUT_START);
        QVERIFY(!Button(dlg, IDC_BUTTON_INPUT_START)->isEnabled());
        QVERIFY(Button(dlg, IDC_BUTTON_INPUT_STOP)->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(CaptureFiles(folder).size(), 1, kWaitMs);
        const QString file = CaptureFiles(folder).first();

        // The port may still be opening (and purging) when the file appears: knock until the
        // first byte gets through, then send what is checked.
        QTRY_VERIFY_WITH_TIMEOUT((pty.WriteToMaster("."), QFileInfo(file).size() > 0), kWaitMs);
        pty.WriteToMaster("AB");
        pty.WriteToMaster(std::string("C\0D", 3));
        QTRY_VERIFY_WITH_TIMEOUT(
            ReadFileBytes(file.toStdString()).ends_with(std::string("C\0D", 3)), kWaitMs);

        dlg.OnCommand(IDC_BUTTON_INPUT_STOP);
        QVERIFY(Button(dlg, IDC_BUTTON_INPUT_START)->isEnabled());
        QVERIFY(!Button(dlg, IDC_BUTTON_INPUT_STOP)->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!dlg.IsInputRunning(), kWaitMs);
        const std::string bytes = ReadFileBytes(file.toStdString());
        const std::size_t knocks = bytes.find_first_not_of('.');
        QVERIFY(knocks != std::string::npos && knocks > 0);
        QCOMPARE(bytes.substr(knocks), std::string("ABC\0D", 5));
        QVERIFY(m_prompts->texts.isEmpty());
    }

    void aPortThatCannotBeOpenedIsReportedAndTheButtonsGoBack() {
        PtyPair placeholder;  // only to make the ports folder; COM3 is linked to nothing real
        placeholder.LinkAsComPort(4);
        const std::string ports = m_home->SettingsFolder() + "/ports";
        QVERIFY(QFile::link(QStringLiteral("/nonexistent/tillstream-no-such-port"),
                            QPath(ports + "/COM3")));
        const std::string folder = m_home->Path("cap");
        StoreOptions(CaptureOptions(3, folder));
        CTillstreamDlg dlg;

        dlg.OnCommand(IDC_BUTTON_INPUT_START);
        // The channel's box reaches the user from the capture thread through the window; the
        // failed run then puts the buttons back as Input Stop does.
        QTRY_COMPARE_WITH_TIMEOUT(m_prompts->texts.size(), 1, kWaitMs);
        QTRY_VERIFY_WITH_TIMEOUT(Button(dlg, IDC_BUTTON_INPUT_START)->isEnabled(), kWaitMs);
        QVERIFY(!Button(dlg, IDC_BUTTON_INPUT_STOP)->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!dlg.IsInputRunning(), kWaitMs);
        // The capture file was made before the port was tried; it stays, empty.
        const QStringList files = CaptureFiles(folder);
        QCOMPARE(files.size(), 1);
        QCOMPARE(QFileInfo(files.first()).size(), 0);
    }

    void closingTheWindowDuringCaptureStopsIt() {
        PtyPair pty;
        pty.LinkAsComPort(5);
        const std::string folder = m_home->Path("cap");
        StoreOptions(CaptureOptions(5, folder));
        auto dlg = std::make_unique<CTillstreamDlg>();
        dlg->show();
        dlg->OnCommand(IDC_BUTTON_INPUT_START);
        QTRY_COMPARE_WITH_TIMEOUT(CaptureFiles(folder).size(), 1, kWaitMs);
        QVERIFY(dlg->IsInputRunning());
        dlg->close();
        QVERIFY(!dlg->IsInputRunning());
        dlg.reset();
    }
};

QTEST_MAIN(CaptureWindowTest)
#include "tst_capturewindow.moc"
