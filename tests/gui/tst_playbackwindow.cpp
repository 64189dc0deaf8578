// Playing a file from the window to a real loopback receiver: the buttons, the list and the bar
// while a run goes on, stopping it, and the window's end during a run.
#include <QAbstractItemView>
#include <QItemSelectionModel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include "LoopbackServer.h"
#include "datafile/FileNames.h"
#include "engine/ListPaging.h"
#include "gui_qt/LineListModel.h"
#include "support/WindowHarness.h"
#include "support/WindowTest.h"
#include "ui/TillstreamDlg.h"

namespace {
constexpr int kWaitMs = 10000;

QList<int> SelectedRows(CTillstreamDlg& dlg) {
    auto* list = qobject_cast<QAbstractItemView*>(dlg.Control(IDC_LIST_DATA));
    QList<int> rows;
    for (const QModelIndex& index : list->selectionModel()->selectedRows()) {
        rows << index.row();
    }
    return rows;
}

OptionRecord TcpOptions(std::uint16_t port, bool bLoop, std::uint32_t delayMs) {
    OptionRecord record = MakeDefaultOptionRecord();
    record.outputInterface = kInterfaceTcpClient;
    record.remoteAddress = kLoopbackAddress;
    record.remotePort = port;
    record.loopEnabled = bLoop ? 1 : 0;
    record.delayMs = delayMs;
    return record;
}
}  // namespace

class PlaybackWindowTest : public CWindowTest {
    Q_OBJECT
  private:
  private slots:

    void aRunPlaysTheFileAndPutsTheButtonsBack() {
        LoopbackTcpServer receiver;
        StoreOptions(TcpOptions(receiver.Port(), false, 10));
        CTillstreamDlg dlg;
        dlg.show();
        Choose(dlg, File("day.txt", "L0\r\nL1\r\nL2\r\nL3\r\nL4\r\n"));

        dlg.OnCommand(IDC_BUTTON_OUTPUT_START);
        QVERIFY(!Button(dlg, IDC_BUTTON_OUTPUT_START)->isEnabled());
        QVERIFY(Button(dlg, IDC_BUTTON_OUTPUT_STOP)->isEnabled());
        QVERIFY(!dlg.Control(IDC_LIST_DATA)->isEnabled());

        // The file ends with looping off: the run ends and the window goes back to idle.
        QTRY_VERIFY_WITH_TIMEOUT(Button(dlg, IDC_BUTTON_OUTPUT_START)->isEnabled(), kWaitMs);
        QVERIFY(!Button(dlg, IDC_BUTTON_OUTPUT_STOP)->isEnabled());
        QVERIFY(dlg.Control(IDC_LIST_DATA)->isEnabled());
        QVERIFY(SelectedRows(dlg).isEmpty());
        QVERIFY(receiver.WaitForBytes(20));
        QCOMPARE(receiver.Received(), std::string("L0\r\nL1\r\nL2\r\nL3\r\nL4\r\n"));
        // The bar shows the last line's share and stays there.
        QCOMPARE(qobject_cast<QProgressBar*>(dlg.Control(IDC_PROGRESS))->value(), 80);
        QTRY_VERIFY_WITH_TIMEOUT(!dlg.IsOutputRunning(), kWaitMs);
    }

    void stopEndsALoopingRunAndStartPlaysAgain() {
        LoopbackTcpServer receiver;
        StoreOptions(TcpOptions(receiver.Port(), true, 20));
        CTillstreamDlg dlg;
        Choose(dlg, File("loop.txt", "A\nB\nC\n"));

        dlg.OnCommand(IDC_BUTTON_OUTPUT_START);
        // More bytes than one pass holds: the run went round.
        QVERIFY(receiver.WaitForBytes(3 * 2 + 1));
        dlg.OnCommand(IDC_BUTTON_OUTPUT_STOP);
        QVERIFY(Button(dlg, IDC_BUTTON_OUTPUT_START)->isEnabled());
        QVERIFY(!Button(dlg, IDC_BUTTON_OUTPUT_STOP)->isEnabled());
        QVERIFY(receiver.WaitForClosed(1));
        QTRY_VERIFY_WITH_TIMEOUT(!dlg.IsOutputRunning(), kWaitMs);
        QCOMPARE(receiver.Received().substr(0, 8), std::string("A\nB\nC\nA\n"));

        // Start right after a stop, before the old run has told the window it ended: the old
        // run's late notice must not stop the new one.
        dlg.OnCommand(IDC_BUTTON_OUTPUT_START);
        dlg.OnCommand(IDC_BUTTON_OUTPUT_STOP);
        dlg.OnCommand(IDC_BUTTON_OUTPUT_START);
        QVERIFY(receiver.WaitForConnections(2));
        QTest::qWait(300);  // lets the first run's end notice arrive
        QVERIFY(dlg.IsOutputRunning());
        QVERIFY(Button(dlg, IDC_BUTTON_OUTPUT_STOP)->isEnabled());
        QVERIFY(!Button(dlg, IDC_BUTTON_OUTPUT_START)->isEnabled());
        dlg.OnCommand(IDC_BUTTON_OUTPUT_STOP);
        QTRY_VERIFY_WITH_TIMEOUT(!dlg.IsOutputRunning(), kWaitMs);
    }

    void closingTheWindowDuringARunStopsIt() {
        LoopbackTcpServer receiver;
        // A pause far longer than any test: only a stop that cuts it short ends the run.
        StoreOptions(TcpOptions(receiver.Port(), true, 600000));
        auto dlg = std::make_unique<CTillstreamDlg>();
        dlg->show();
        Choose(*dlg, File("long.txt", "ONE\nTWO\n"));
        dlg->OnCommand(IDC_BUTTON_OUTPUT_START);
        QVERIFY(receiver.WaitForBytes(4));

        dlg->close();
        QVERIFY(!dlg->IsOutputRunning());
        QVERIFY(receiver.WaitForClosed(1));
        QCOMPARE(receiver.Received(), std::string("ONE\n"));
        dlg.reset();
    }

    void theFileInPlayIsNeitherConvertedNorRestored() {
        LoopbackTcpServer receiver;
        StoreOptions(TcpOptions(receiver.Port(), true, 600000));
        const std::string path = File("log.txt",
                                      "[2026-12-06 05:59:12] 0x41 0x42\r\n"
                                      "[2026-12-06 05:59:13] 0x43\r\n");
        CTillstreamDlg dlg;
        Choose(dlg, path);
        dlg.OnCommand(IDC_BUTTON_MAKE_TILLSTREAM_DATA);
        QCOMPARE(m_prompts->texts.last(), QStringLiteral("Success, Make tillstream data."));
        const std::string converted = ReadFileBytes(path);

        dlg.OnCommand(IDC_BUTTON_OUTPUT_START);
        QVERIFY(receiver.WaitForBytes(2));
        QCOMPARE(receiver.Received(), std::string("AB"));  // converted lines go out as bytes
        dlg.OnCommand(IDC_BUTTON_MAKE_TILLSTREAM_DATA);
        QCOMPARE(m_prompts->texts.last(), QStringLiteral("Fail, Restore data."));
        QCOMPARE(ReadFileBytes(path), converted);
        QVERIFY(FileExists(BackupFilePath(path)));

        // Loading the file being played works as ever.
        Choose(dlg, path);
        QCOMPARE(dlg.LineCount(), 2);
        QVERIFY(dlg.IsConvertedFile());
        dlg.OnCommand(IDC_BUTTON_OUTPUT_STOP);
        QTRY_VERIFY_WITH_TIMEOUT(!dlg.IsOutputRunning(), kWaitMs);
    }

    void theLineBeingPlayedIsSelectedAndInView() {
        CTillstreamDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        std::string bytes;
        for (int i = 0; i < 100; ++i) {
            bytes += "line " + std::to_string(i) + "\n";
        }
        Choose(dlg, File("hundred.txt", bytes));
        const int perPage = dlg.DataListCountPerPage();
        QVERIFY(perPage > 0 && perPage < 100);

        dlg.ShowPlaybackStart();
        for (int i = 0; i < 100; ++i) {
            dlg.ShowPlaybackLine(i, i);
            QCOMPARE(SelectedRows(dlg), QList<int>{i});
            const int top = dlg.DataListTopRow();
            QVERIFY2(top <= i && i < top + perPage, qPrintable(QString::number(i)));
        }
        // After a rewind the first line is brought back into view.
        dlg.ShowPlaybackRewind(99);
        dlg.ShowPlaybackLine(0, 0);
        QCOMPARE(SelectedRows(dlg), QList<int>{0});
        QCOMPARE(dlg.DataListTopRow(), 0);
        QCOMPARE(qobject_cast<QProgressBar*>(dlg.Control(IDC_PROGRESS))->value(), 0);
    }

    void startWithoutAFileDoesNothing() {
        CTillstreamDlg dlg;
        dlg.OnCommand(IDC_BUTTON_OUTPUT_START);
        QVERIFY(Button(dlg, IDC_BUTTON_OUTPUT_START)->isEnabled());
        QVERIFY(!Button(dlg, IDC_BUTTON_OUTPUT_STOP)->isEnabled());
        QVERIFY(!dlg.IsOutputRunning());
        QVERIFY(m_prompts->texts.isEmpty());
    }
};

QTEST_MAIN(PlaybackWindowTest)
#include "tst_playbackwindow.moc"
