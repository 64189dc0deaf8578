// The main window as a user meets it: the option status rows at start-up, choosing data files of
// each kind, converting and restoring them, and ending the window.
#include <sys/stat.h>

#include <QAbstractItemModelTester>
#include <QAction>
#include <QCheckBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <stop_token>
#include <thread>

#include "LoopbackServer.h"
#include "datafile/FileNames.h"
#include "datafile/FilesInPlay.h"
#include "gui_qt/LineListModel.h"
#include "support/WindowHarness.h"
#include "support/WindowTest.h"
#include "ui/AboutDlg.h"
#include "ui/OutputOptionDlg.h"
#include "ui/TillstreamDlg.h"

namespace {
const char kHexLog[] =
    "[2026-12-06 05:59:12] 0x41 0x42\r\n"
    "[2026-12-06 05:59:13] hello\r\n"
    "[2026-12-06 05:59:14] 0x43 0x0D 0x0A\r\n";
const char kConverted[] = "[TILLSTREAM_DATA]\r\n0x41 0x42\r\n0x43\r\n0x44 0x45\r\n";

QStringList Row(CTillstreamDlg& dlg, int row) {
    QStringList texts;
    for (int column = 0; column < 4; ++column) {
        texts << dlg.OptionModel()->item(row, column)->text();
    }
    return texts;
}

QByteArray RawItem(CTillstreamDlg& dlg, int row) {
    return dlg.DataModel()->index(row, 0).data(CLineListModel::RawBytesRole).toByteArray();
}

// Ends the test program with a message when the step in its scope has not come back within
// `limit`, so that a step that hangs fails the run instead of holding it for ever.
class CHangWatch {
  public:
    CHangWatch(std::string what, std::chrono::seconds limit)
        : m_thread([what = std::move(what), limit](std::stop_token stop) {
              std::mutex mutex;
              std::condition_variable_any changed;
              std::unique_lock lock(mutex);
              if (!changed.wait_for(lock, stop, limit, [] { return false; }) &&
                  !stop.stop_requested()) {
                  std::fprintf(stderr, "FAIL: %s did not come back within %lld s\n", what.c_str(),
                               static_cast<long long>(limit.count()));
                  std::_Exit(1);
              }
          }) {}

  private:
    std::jthread m_thread;
};

}  // namespace

class MainWindowTest : public CWindowTest {
    Q_OBJECT
  private:
  private slots:

    void startUpWithoutStoredOptionsShowsTheDefaults() {
        CTillstreamDlg dlg;
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Tillstream"));
        QCOMPARE(dlg.OptionModel()->rowCount(), 3);
        QCOMPARE(Row(dlg, 0), (QStringList{"1", "Connection Information", "IP: 0.0.0.0, Port: 0",
                                           "TCP Client"}));
        QCOMPARE(Row(dlg, 1), (QStringList{"2", "Loop Option", "OFF", ""}));
        QCOMPARE(Row(dlg, 2), (QStringList{"3", "Delay Time", "500 msec", ""}));

        // The option list's columns share its client width 10:30:50:10, cut to whole pixels.
        auto* options = qobject_cast<QTreeView*>(dlg.Control(IDC_LIST_OPTION));
        const int width = options->width() - 2 * options->frameWidth();
        QCOMPARE(options->columnWidth(0), static_cast<int>(width * 0.01 * 10));
        QCOMPARE(options->columnWidth(1), static_cast<int>(width * 0.01 * 30));
        QCOMPARE(options->columnWidth(2), static_cast<int>(width * 0.01 * 50));
        QCOMPARE(options->columnWidth(3), static_cast<int>(width * 0.01 * 10));
        QCOMPARE(dlg.OptionModel()->headerData(3, Qt::Horizontal).toString(),
                 QStringLiteral("Etc"));

        auto* data = qobject_cast<QTableView*>(dlg.Control(IDC_LIST_DATA));
        QVERIFY(data->horizontalHeader()->isHidden());
        QVERIFY(data->verticalHeader()->isHidden());
        QCOMPARE(data->columnWidth(0), 450);
        QCOMPARE(dlg.DataModel()->headerData(0, Qt::Horizontal).toString(),
                 QStringLiteral("Content"));
        auto* bar = qobject_cast<QProgressBar*>(dlg.Control(IDC_PROGRESS));
        QCOMPARE(bar->minimum(), 0);
        QCOMPARE(bar->maximum(), 100);

        QVERIFY(Button(dlg, IDC_BUTTON_OUTPUT_START)->isEnabled());
        QVERIFY(!Button(dlg, IDC_BUTTON_OUTPUT_STOP)->isEnabled());
        QVERIFY(!Button(dlg, IDC_BUTTON_MAKE_TILLSTREAM_DATA)->isEnabled());
        QVERIFY(Button(dlg, IDC_BUTTON_INPUT_START)->isHidden());
        QCOMPARE(dlg.LineCount(), 0);
    }

    void statusRowsFollowTheStoredRecord() {
        OptionRecord record = MakeDefaultOptionRecord();
        record.outputInterface = kInterfaceRs232;
        StoreOptions(record);
        {
            CTillstreamDlg dlg;
            QCOMPARE(Row(dlg, 0), (QStringList{"1", "Port Information",
                                               "COM1 (BaudRate: 9600, DataBits: 8, Parity: 0, "
                                               "StopBits: 0",
                                               "RS232"}));
            QCOMPARE(dlg.OptionModel()->rowCount(), 3);
        }

        record.outputInterface = kInterfaceUdpClient;
        StoreOptions(record);
        {
            CTillstreamDlg dlg;
            QCOMPARE(dlg.OptionModel()->rowCount(), 2);
            QCOMPARE(Row(dlg, 0), (QStringList{"1", "Loop Option", "OFF", ""}));
            QCOMPARE(Row(dlg, 1), (QStringList{"2", "Delay Time", "500 msec", ""}));
        }

        record.outputInterface = kInterfaceTcpClient;
        record.remoteAddress = 0x7F000001;
        record.remotePort = 9100;
        record.loopEnabled = 1;
        record.delayMs = 4294967295u;
        StoreOptions(record);
        {
            CTillstreamDlg dlg;
            QCOMPARE(Row(dlg, 0), (QStringList{"1", "Connection Information",
                                               "IP: 127.0.0.1, Port: 9100", "TCP Client"}));
            QCOMPARE(Row(dlg, 1), (QStringList{"2", "Loop Option", "ON", ""}));
            QCOMPARE(Row(dlg, 2), (QStringList{"3", "Delay Time", "4294967295 msec", ""}));
        }
    }

    void loadingSetsCaptionModeAndList_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("withBackup");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("converted");
        QTest::addColumn<int>("count");
        QTest::addColumn<QByteArray>("firstItem");

        QTest::newRow("stamped hex log")
            << QByteArray(kHexLog) << false << "Make Tillstream Data" << true << false << 3
            << QByteArray("[2026-12-06 05:59:12] 0x41 0x42\r");
        QTest::newRow("stamped hex log, stale backup")
            << QByteArray(kHexLog) << true << "Make Tillstream Data" << true << false << 3
            << QByteArray("[2026-12-06 05:59:12] 0x41 0x42\r");
        QTest::newRow("converted with backup") << QByteArray(kConverted) << true << "Restore Data"
                                               << true << true << 3 << QByteArray("0x41 0x42\r");
        QTest::newRow("converted without backup")
            << QByteArray(kConverted) << false << "Make Tillstream Data" << false << true << 3
            << QByteArray("0x41 0x42\r");
        QTest::newRow("raw") << QByteArray("RECEIPT 1\nTOTAL 2.00\n") << false
                             << "Make Tillstream Data" << false << false << 2
                             << QByteArray("RECEIPT 1");
        QTest::newRow("empty") << QByteArray() << false << "Make Tillstream Data" << false << false
                               << 0 << QByteArray();
    }
    void loadingSetsCaptionModeAndList() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, withBackup);
        QFETCH(QString, caption);
        QFETCH(bool, enabled);
        QFETCH(bool, converted);
        QFETCH(int, count);
        QFETCH(QByteArray, firstItem);

        const std::string path = File("day1.txt", bytes.toStdString());
        if (withBackup) {
            WriteFileBytes(BackupFilePath(path), "old");
        }
        CTillstreamDlg dlg;
        // Something loaded before, so that every field is seen to be set anew.
        Choose(dlg, File("before.txt", "x\ny\nz\nw\n"));
        QCOMPARE(dlg.LineCount(), 4);

        Choose(dlg, path);
        QVERIFY(m_prompts->texts.isEmpty());
        QCOMPARE(qobject_cast<QLineEdit*>(dlg.Control(IDC_EDIT_DATA_FILE))->text(), QPath(path));
        QCOMPARE(dlg.DataFile(), path);
        QCOMPARE(Button(dlg, IDC_BUTTON_MAKE_TILLSTREAM_DATA)->text(), caption);
        QCOMPARE(Button(dlg, IDC_BUTTON_MAKE_TILLSTREAM_DATA)->isEnabled(), enabled);
        QCOMPARE(dlg.IsConvertedFile(), converted);
        QCOMPARE(dlg.LineCount(), count);
        QCOMPARE(dlg.DataModel()->rowCount(), count);
        if (count > 0) {
            QCOMPARE(RawItem(dlg, 0), firstItem);
        }
    }

    void itemsAreTheLinesAsReadInBinaryMode() {
        CTillstreamDlg dlg;
        Choose(dlg, File("crlf.txt", "A\r\nB\r\nC\r\n"));
        QCOMPARE(dlg.LineCount(), 3);
        for (int row = 0; row < 3; ++row) {
            QVERIFY(RawItem(dlg, row).endsWith('\r'));
            // The CR is drawn as its visible symbol, not swallowed.
            QVERIFY(dlg.DataModel()->index(row, 0).data().toString().endsWith(QChar(0x240D)));
        }

        Choose(dlg, File("noend.txt", "A\nB\nC"));
        QCOMPARE(dlg.LineCount(), 3);
        QCOMPARE(RawItem(dlg, 2), QByteArray("C"));
    }

    void controlBytesAreDrawnVisiblyWithoutChangingTheItem() {
        const QByteArray bytes(
            "\x00\x1b\r\x7f\x80\x81"
            "A\xe9\t",
            9);
        const QString text = CLineListModel::VisibleText(bytes);
        QCOMPARE(text, QString::fromUtf16(u"\u2400\u241B\u240D\u2421\u20AC\u0081A\u00E9\u2409"));

        CTillstreamDlg dlg;
        Choose(dlg, File("ctrl.bin", bytes.toStdString() + "\n"));
        QCOMPARE(RawItem(dlg, 0), bytes);
        QCOMPARE(dlg.DataModel()->index(0, 0).data().toString(), text);
    }

    void dataListKeysGoFromLineToLine() {
        CTillstreamDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        std::string bytes;
        for (int i = 0; i < 100; ++i) {
            bytes += "line " + std::to_string(i) + "\r\n";
        }
        Choose(dlg, File("hundred.txt", bytes));
        auto* list = qobject_cast<QAbstractItemView*>(dlg.Control(IDC_LIST_DATA));
        const int perPage = dlg.DataListCountPerPage();
        QVERIFY(perPage > 1 && perPage < 100);
        auto shown = [&](Qt::Key key) {
            QTest::keyClick(list, key);
            const QModelIndexList selected = list->selectionModel()->selectedRows();
            const int row = list->currentIndex().row();
            const int top = dlg.DataListTopRow();
            // One whole line selected, the current one, and in view.
            return selected.size() == 1 && selected[0].row() == row && top <= row &&
                           row < top + perPage
                       ? row
                       : -1;
        };
        list->setFocus(Qt::TabFocusReason);  // makes the first line current, not selected
        QCOMPARE(shown(Qt::Key_Down), 1);
        QCOMPARE(shown(Qt::Key_End), 99);
        QCOMPARE(shown(Qt::Key_Up), 98);
        QCOMPARE(shown(Qt::Key_Home), 0);
        QCOMPARE(dlg.DataListTopRow(), 0);
        const int pageDown = shown(Qt::Key_PageDown);
        QVERIFY2(pageDown >= perPage - 1 && pageDown <= perPage,
                 qPrintable(QString::number(pageDown)));
        QCOMPARE(shown(Qt::Key_PageUp), 0);
        QTest::keyClick(list, Qt::Key_Tab);
        QVERIFY(!list->hasFocus());
    }

    void aLineOfMegabytesIsShownCutShort() {
        // A binary capture without line ends: one line of 3 MB, control bytes and all.
        std::string bytes(3 << 20, '\0');
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            bytes[i] = static_cast<char>(i % 251 == 10 ? 'x' : i % 251);
        }
        CTillstreamDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        Choose(dlg, File("capture.bin", bytes));
        QCOMPARE(dlg.LineCount(), 1);
        QCOMPARE(dlg.DataModel()->rowCount(), 1);
        const QString expected =
            CLineListModel::VisibleText(QByteArray(bytes.data(), CLineListModel::kShownBytes)) +
            QChar(0x2026);
        const QModelIndex line = dlg.DataModel()->index(0, 0);
        QCOMPARE(line.data().toString(), expected);
        QCOMPARE(line.data(Qt::ToolTipRole).toString(), expected);
        QCOMPARE(RawItem(dlg, 0).size(), qsizetype(bytes.size()));

        // A line exactly as long as what is shown has no ellipsis.
        Choose(dlg, File("exact.txt", std::string(CLineListModel::kShownBytes, 'A') + "\n"));
        QCOMPARE(dlg.DataModel()->index(0, 0).data().toString(),
                 QString(qsizetype(CLineListModel::kShownBytes), QLatin1Char('A')));
    }

    void aNameThatCannotBeLoadedShowsTheErrorAndKeepsTheFile_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("does not exist") << "nothing-here.txt";
        QTest::newRow("named pipe") << "fifo";
        QTest::newRow("character device") << "/dev/zero";
        QTest::newRow("directory") << "folder";
    }
    void aNameThatCannotBeLoadedShowsTheErrorAndKeepsTheFile() {
        QFETCH(QString, name);
        QVERIFY(::mkfifo(m_home->Path("fifo").c_str(), 0600) == 0);
        QVERIFY(std::filesystem::create_directory(m_home->Path("folder")));
        const std::string chosen =
            name.startsWith('/') ? name.toStdString() : m_home->Path(name.toStdString());
        CTillstreamDlg dlg;
        const std::string loaded = File("kept.txt", "one\ntwo\n");
        Choose(dlg, loaded);
        {
            // A pipe without writer would hold the load in its open, /dev/zero would never end:
            // a load that does not come back fails the run instead of holding it.
            CHangWatch watch("loading " + chosen, std::chrono::seconds(30));
            Choose(dlg, chosen);
        }
        QCOMPARE(m_prompts->texts,
                 QStringList{QStringLiteral("ERROR - Can't Open file.\r\n") + QPath(chosen)});
        QCOMPARE(m_prompts->captions, QStringList{"Tillstream"});
        QCOMPARE(dlg.DataFile(), loaded);
        QCOMPARE(qobject_cast<QLineEdit*>(dlg.Control(IDC_EDIT_DATA_FILE))->text(), QPath(loaded));
        QCOMPARE(dlg.LineCount(), 2);
        QCOMPARE(dlg.DataModel()->rowCount(), 2);

        // Cancelling the chooser changes nothing and says nothing.
        dlg.OnCommand(IDC_BUTTON_SELECT_FILE);
        QCOMPARE(m_prompts->texts.size(), 1);
        QCOMPARE(dlg.DataFile(), loaded);
    }

    void makeThenRestoreGivesBackTheOriginal() {
        const std::string path = File("log.txt", kHexLog);
        CTillstreamDlg dlg;
        Choose(dlg, path);
        auto* button = Button(dlg, IDC_BUTTON_MAKE_TILLSTREAM_DATA);

        dlg.OnCommand(IDC_BUTTON_MAKE_TILLSTREAM_DATA);
        QCOMPARE(m_prompts->texts, QStringList{"Success, Make tillstream data."});
        QCOMPARE(m_prompts->captions, QStringList{"Tillstream"});
        QCOMPARE(button->text(), QStringLiteral("Restore Data"));
        QVERIFY(dlg.IsConvertedFile());
        QCOMPARE(dlg.LineCount(), 2);
        QCOMPARE(RawItem(dlg, 0), QByteArray("0x41 0x42\r"));
        QCOMPARE(RawItem(dlg, 1), QByteArray("0x43 0x0D 0x0A\r"));
        QVERIFY(FileExists(BackupFilePath(path)));

        dlg.OnCommand(IDC_BUTTON_MAKE_TILLSTREAM_DATA);
        QCOMPARE(m_prompts->texts.last(), QStringLiteral("Success, Restore data."));
        QCOMPARE(ReadFileBytes(path), std::string(kHexLog));
        QVERIFY(!FileExists(BackupFilePath(path)));
        QCOMPARE(button->text(), QStringLiteral("Make Tillstream Data"));
        QVERIFY(button->isEnabled());
        QVERIFY(!dlg.IsConvertedFile());
        QCOMPARE(dlg.LineCount(), 3);

        // A second conversion makes the backup anew.
        dlg.OnCommand(IDC_BUTTON_MAKE_TILLSTREAM_DATA);
        QCOMPARE(m_prompts->texts.last(), QStringLiteral("Success, Make tillstream data."));
        QCOMPARE(ReadFileBytes(BackupFilePath(path)), std::string(kHexLog));
    }

    void makeAndRestoreThroughALinkChangeTheFileItPointsTo() {
        QVERIFY(std::filesystem::create_directory(m_home->Path("data")));
        const std::string real = File("data/log.txt", kHexLog);
        const std::string link = m_home->Path("day.log");
        std::filesystem::create_symlink("data/log.txt", link);
        CTillstreamDlg dlg;
        Choose(dlg, link);
        dlg.OnCommand(IDC_BUTTON_MAKE_TILLSTREAM_DATA);
        QCOMPARE(m_prompts->texts.last(), QStringLiteral("Success, Make tillstream data."));
        QVERIFY(std::filesystem::is_symlink(link));
        QCOMPARE(ReadFileBytes(BackupFilePath(real)), std::string(kHexLog));
        QCOMPARE(dlg.LineCount(), 2);

        // Loaded again through the link, the backup beside the file it points to is found.
        Choose(dlg, link);
        QCOMPARE(Button(dlg, IDC_BUTTON_MAKE_TILLSTREAM_DATA)->text(),
                 QStringLiteral("Restore Data"));
        QVERIFY(Button(dlg, IDC_BUTTON_MAKE_TILLSTREAM_DATA)->isEnabled());
        dlg.OnCommand(IDC_BUTTON_MAKE_TILLSTREAM_DATA);
        QCOMPARE(m_prompts->texts.last(), QStringLiteral("Success, Restore data."));
        QVERIFY(std::filesystem::is_symlink(link));
        QCOMPARE(ReadFileBytes(real), std::string(kHexLog));
        QVERIFY(!FileExists(BackupFilePath(real)));
        QVERIFY(!FileExists(BackupFilePath(link)));
    }

    void convertingAConvertedFileKeepsOnlyItsMarkerLine() {
        const std::string path = File("conv.txt", kConverted);
        CTillstreamDlg dlg;
        Choose(dlg, path);
        QCOMPARE(Button(dlg, IDC_BUTTON_MAKE_TILLSTREAM_DATA)->text(),
                 QStringLiteral("Make Tillstream Data"));
        dlg.OnButtonMakeTillstreamData();
        QCOMPARE(m_prompts->texts.last(), QStringLiteral("Success, Make tillstream data."));
        QCOMPARE(ReadFileBytes(path), std::string("[TILLSTREAM_DATA]\r\n"));
        QCOMPARE(ReadFileBytes(BackupFilePath(path)), std::string(kConverted));
        QCOMPARE(dlg.LineCount(), 0);
    }

    void restoreWhoseBackupHasGoneJudgesTheFileAgain() {
        const std::string path = File("log.txt", kHexLog);
        CTillstreamDlg dlg;
        Choose(dlg, path);
        dlg.OnCommand(IDC_BUTTON_MAKE_TILLSTREAM_DATA);
        const std::string converted = ReadFileBytes(path);
        std::filesystem::remove(BackupFilePath(path));

        dlg.OnCommand(IDC_BUTTON_MAKE_TILLSTREAM_DATA);
        QCOMPARE(m_prompts->texts.last(), QStringLiteral("Fail, Restore data."));
        // Still a converted file: played as one, but nothing left to restore.
        QVERIFY(dlg.IsConvertedFile());
        QCOMPARE(Button(dlg, IDC_BUTTON_MAKE_TILLSTREAM_DATA)->text(),
                 QStringLiteral("Make Tillstream Data"));
        QVERIFY(!Button(dlg, IDC_BUTTON_MAKE_TILLSTREAM_DATA)->isEnabled());
        QCOMPARE(ReadFileBytes(path), converted);
        QCOMPARE(dlg.LineCount(), 2);
    }

    void failedConversionsShowTheFailTexts() {
        const std::string path = File("log.txt", kHexLog);
        CTillstreamDlg dlg;
        Choose(dlg, path);
        // The temporary file's name is taken by a folder: the conversion cannot write it.
        std::filesystem::create_directory(TempFilePath(path));
        dlg.OnCommand(IDC_BUTTON_MAKE_TILLSTREAM_DATA);
        QCOMPARE(m_prompts->texts.last(), QStringLiteral("Fail, Make tillstream data."));
        QCOMPARE(Button(dlg, IDC_BUTTON_MAKE_TILLSTREAM_DATA)->text(),
                 QStringLiteral("Make Tillstream Data"));
        QVERIFY(!dlg.IsConvertedFile());
        QCOMPARE(ReadFileBytes(path), std::string(kHexLog));
        std::filesystem::remove(TempFilePath(path));

        // A file in play is neither converted nor restored.
        dlg.OnCommand(IDC_BUTTON_MAKE_TILLSTREAM_DATA);
        QCOMPARE(m_prompts->texts.last(), QStringLiteral("Success, Make tillstream data."));
        const std::string converted = ReadFileBytes(path);
        {
            CFileInPlayGuard inPlay(path);
            dlg.OnCommand(IDC_BUTTON_MAKE_TILLSTREAM_DATA);
            QCOMPARE(m_prompts->texts.last(), QStringLiteral("Fail, Restore data."));
            QCOMPARE(Button(dlg, IDC_BUTTON_MAKE_TILLSTREAM_DATA)->text(),
                     QStringLiteral("Restore Data"));
            QVERIFY(dlg.IsConvertedFile());
            QCOMPARE(ReadFileBytes(path), converted);
        }
    }

    void confirmedOptionChangesAreSavedAndShown() {
        CTillstreamDlg dlg;
        auto answer = [this](bool bConfirm) {
            QTimer::singleShot(0, this, [bConfirm] {
                auto* options = qobject_cast<COutputOptionDlg*>(QApplication::activeModalWidget());
                QVERIFY(options != nullptr);
                qobject_cast<QCheckBox*>(options->Control(1015))->setChecked(true);
                qobject_cast<QLineEdit*>(options->Control(1018))->setText(QStringLiteral("250"));
                if (bConfirm) {
                    options->OnButtonOk();
                } else {
                    options->OnButtonCancel();
                }
            });
        };
        answer(false);
        dlg.OnCommand(IDC_BUTTON_OUTPUT_OPTION);
        QCOMPARE(Row(dlg, 1), (QStringList{"2", "Loop Option", "OFF", ""}));

        answer(true);
        dlg.OnCommand(IDC_BUTTON_OUTPUT_OPTION);
        QCOMPARE(Row(dlg, 1), (QStringList{"2", "Loop Option", "ON", ""}));
        QCOMPARE(Row(dlg, 2), (QStringList{"3", "Delay Time", "250 msec", ""}));
        QCOMPARE(dlg.Options().delayMs, 250u);
        // Stored whole: a new window starts with it.
        OptionRecord stored = MakeDefaultOptionRecord();
        QCOMPARE(LoadStoredOptions(stored, "test"), 0);
        QCOMPARE(stored.loopEnabled, 1);
        QCOMPARE(stored.delayMs, 250u);
    }

    void lineModelPassesTheModelTester() {
        CLineListModel model;
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model.Load(File("a.txt", "1\n2\n3\n")), 0);
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(model.Load(File("b.txt", kConverted)), 0);
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(model.Load(m_home->Path("missing.txt")), -1);
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(model.Load(File("c.txt", "x\n")), 0);
        model.Clear();
        QCOMPARE(model.rowCount(), 0);
        QVERIFY(!model.index(0, 0).isValid());
    }

    void enterAndEscEndTheWindow_data() {
        QTest::addColumn<int>("focus");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("result");
        QTest::newRow("Enter in the file name field")
            << IDC_EDIT_DATA_FILE << int(Qt::Key_Return) << int(QDialog::Accepted);
        QTest::newRow("Enter in the data list")
            << IDC_LIST_DATA << int(Qt::Key_Enter) << int(QDialog::Accepted);
        QTest::newRow("Esc on a button")
            << IDC_BUTTON_OUTPUT_START << int(Qt::Key_Escape) << int(QDialog::Rejected);
    }
    void enterAndEscEndTheWindow() {
        QFETCH(int, focus);
        QFETCH(int, key);
        QFETCH(int, result);
        CTillstreamDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        int finished = -1;
        connect(&dlg, &QDialog::finished, this, [&finished](int r) { finished = r; });
        dlg.Control(focus)->setFocus(Qt::TabFocusReason);
        QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(key));
        QCOMPARE(finished, result);
        QVERIFY(!dlg.isVisible());
    }

    void enterPressesTheFocusedButtonAndTheWindowStays() {
        LoopbackTcpServer receiver;
        OptionRecord record = MakeDefaultOptionRecord();
        record.outputInterface = kInterfaceTcpClient;
        record.remoteAddress = kLoopbackAddress;
        record.remotePort = receiver.Port();
        record.loopEnabled = 1;
        record.delayMs = 600000;  // the run goes on until it is stopped
        StoreOptions(record);
        CTillstreamDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        Choose(dlg, File("day.txt", "L0\r\nL1\r\n"));
        int finished = -1;
        connect(&dlg, &QDialog::finished, this, [&finished](int r) { finished = r; });
        auto press = [](Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
            QTest::keyClick(QApplication::focusWidget(), key, modifiers);
        };

        // From the file name field Tab reaches "..." and then Output Start (the conversion
        // button is disabled for a plain data file).
        dlg.Control(IDC_EDIT_DATA_FILE)->setFocus(Qt::TabFocusReason);
        press(Qt::Key_Tab);
        press(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), dlg.Control(IDC_BUTTON_OUTPUT_START));
        press(Qt::Key_Return);
        QVERIFY(dlg.IsOutputRunning());
        QVERIFY(receiver.WaitForBytes(4));
        QCOMPARE(receiver.Received(), std::string("L0\r\n"));

        // Output Start gave its focus away when it was disabled; Output Stop is one Shift+Tab
        // back from where it went, and Enter there stops the run.
        press(Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), dlg.Control(IDC_BUTTON_OUTPUT_STOP));
        press(Qt::Key_Enter, Qt::KeypadModifier);
        QVERIFY(Button(dlg, IDC_BUTTON_OUTPUT_START)->isEnabled());
        QVERIFY(receiver.WaitForClosed(1));

        // Option... opens its dialog.
        QString seenCaption;
        QTimer::singleShot(0, this, [&seenCaption] {
            if (auto* options =
                    qobject_cast<COutputOptionDlg*>(QApplication::activeModalWidget())) {
                seenCaption = options->windowTitle();
                options->OnButtonCancel();
            }
        });
        dlg.Control(IDC_BUTTON_OUTPUT_OPTION)->setFocus(Qt::TabFocusReason);
        press(Qt::Key_Return);
        QCOMPARE(seenCaption, QStringLiteral("Output Option"));

        QCOMPARE(finished, -1);
        QVERIFY(dlg.isVisible());
    }

    void aboutBoxOpensFromTheWindow() {
        CTillstreamDlg dlg;
        bool bActionFound = false;
        for (QAction* action : dlg.actions()) {
            if (action->text() == QStringLiteral("&About Tillstream...")) {
                bActionFound = action->shortcut() == QKeySequence(Qt::Key_F1);
            }
        }
        QVERIFY(bActionFound);

        QString seenCaption;
        QTimer::singleShot(0, this, [&seenCaption] {
            if (auto* about = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget())) {
                seenCaption = about->windowTitle();
                qobject_cast<QPushButton*>(about->Control(1))->click();
            }
        });
        dlg.OnSysCommand(IDM_ABOUTBOX);
        QCOMPARE(seenCaption, QStringLiteral("About Tillstream"));
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
