// The main window's Qt view: widgets as the ui set them up, the data list drawing the ui's lines
// and keying like a list, the keyboard (Enter and Esc from every control, Enter on a focused
// push button), the file chooser's wiring and the About item.
#include <QAbstractItemModelTester>
#include <QAction>
#include <QHeaderView>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>
#include <QTreeView>

#include "LoopbackServer.h"
#include "gui_qt/LineListModel.h"
#include "support/QtWindowHarness.h"
#include "ui/ListSource.h"

namespace {
// A virtual list's rows without a file: row i reads "row i".
class CCountingSource : public CListSource {
  public:
    std::string ItemText(int nIndex) const override { return "row " + std::to_string(nIndex); }
};
}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
  private:
    std::unique_ptr<TempHome> m_home;
    std::unique_ptr<CQtPrompts> m_prompts;

    // Loads `bytes` as a file chosen with "...".
    void Choose(CQtWindow& window, const std::string& bytes) {
        const std::string path = m_home->Path("data.txt");
        WriteFileBytes(path, bytes);
        m_prompts->chosenFiles << QPath(path);
        window.ControlAs<QPushButton>(IDC_BUTTON_SELECT_FILE)->click();
    }

  private slots:
    void init() {
        m_home = std::make_unique<TempHome>();
        m_prompts = std::make_unique<CQtPrompts>();
    }
    void cleanup() {
        m_prompts.reset();
        m_home.reset();
    }

    void theWidgetsShowWhatTheUiSetUp() {
        CQtWindow window;
        QCOMPARE(window.View().windowTitle(), QStringLiteral("Tillstream"));
        auto* options = window.ControlAs<QTreeView>(IDC_LIST_OPTION);
        QVERIFY(options != nullptr);
        const int width = options->width() - 2 * options->frameWidth();
        const int shares[4] = {10, 30, 50, 10};
        const char* headings[4] = {"Index", "Option", "Value", "Etc"};
        for (int column = 0; column < 4; ++column) {
            QCOMPARE(options->columnWidth(column), static_cast<int>(width * 0.01 * shares[column]));
            QCOMPARE(options->model()->headerData(column, Qt::Horizontal).toString(),
                     QLatin1String(headings[column]));
        }
        QCOMPARE(options->model()->rowCount(), 3);
        QCOMPARE(options->model()->index(2, 2).data().toString(), QStringLiteral("500 msec"));

        auto* data = window.ControlAs<QTableView>(IDC_LIST_DATA);
        QVERIFY(data != nullptr);
        QVERIFY(data->horizontalHeader()->isHidden());
        QVERIFY(data->verticalHeader()->isHidden());
        QCOMPARE(data->columnWidth(0), 450);
        QCOMPARE(data->model()->headerData(0, Qt::Horizontal).toString(),
                 QStringLiteral("Content"));
        auto* bar = window.ControlAs<QProgressBar>(IDC_PROGRESS);
        QCOMPARE(bar->minimum(), 0);
        QCOMPARE(bar->maximum(), 100);
        QVERIFY(!window.Control(IDC_BUTTON_MAKE_TILLSTREAM_DATA)->isEnabled());
        QVERIFY(window.Control(IDC_BUTTON_INPUT_START)->isHidden());
    }

    void theDataListDrawsTheLinesAndKeysFromLineToLine() {
        CQtWindow window;
        window.View().show();
        QVERIFY(QTest::qWaitForWindowActive(&window.View()));
        std::string bytes;
        for (int i = 0; i < 100; ++i) {
            bytes += "line " + std::to_string(i) + "\r\n";
        }
        Choose(window, bytes);
        QCOMPARE(window.ControlAs<QLineEdit>(IDC_EDIT_DATA_FILE)->text(),
                 QPath(m_home->Path("data.txt")));
        auto* list = window.ControlAs<QTableView>(IDC_LIST_DATA);
        QCOMPARE(list->model()->rowCount(), 100);
        const QModelIndex line = list->model()->index(7, 0);
        QCOMPARE(line.data().toString(), QString::fromUtf16(u"line 7\u240D"));
        QCOMPARE(line.data(Qt::ToolTipRole).toString(), line.data().toString());
        QVERIFY(line.data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignHCenter);

        CQtDialogView& view = window.View();
        const int perPage = view.GetListCountPerPage(IDC_LIST_DATA);
        QVERIFY(perPage > 1 && perPage < 100);
        auto shown = [&](Qt::Key key) {
            QTest::keyClick(list, key);
            const QModelIndexList selected = list->selectionModel()->selectedRows();
            const int row = list->currentIndex().row();
            const int top = view.GetListTopIndex(IDC_LIST_DATA);
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
        QCOMPARE(view.GetListTopIndex(IDC_LIST_DATA), 0);
        const int pageDown = shown(Qt::Key_PageDown);
        QVERIFY2(pageDown >= perPage - 1 && pageDown <= perPage,
                 qPrintable(QString::number(pageDown)));
        QCOMPARE(shown(Qt::Key_PageUp), 0);
        QTest::keyClick(list, Qt::Key_Tab);
        QVERIFY(!list->hasFocus());

        // The line being played: selected and scrolled into view by the ui through the view.
        for (int i : {0, perPage, 99, 0}) {
            window.dlg.ShowPlaybackLine(i, i);
            const QModelIndexList selected = list->selectionModel()->selectedRows();
            QCOMPARE(selected.size(), 1);
            QCOMPARE(selected[0].row(), i);
            const int top = list->verticalScrollBar()->value();
            QVERIFY2(top <= i && i < top + perPage, qPrintable(QString::number(i)));
        }
        window.dlg.OnButtonOutputStop();
        QVERIFY(list->selectionModel()->selectedRows().isEmpty());
    }

    void theLineModelPassesTheModelTester() {
        CLineListModel model;
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        CCountingSource source;
        model.SetSource(&source);
        model.SetRowCount(3);
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(model.index(2, 0).data().toString(), QStringLiteral("row 2"));
        model.SetRowCount(1000000);
        QCOMPARE(model.index(999999, 0).data().toString(), QStringLiteral("row 999999"));
        model.SetSource(nullptr);
        QCOMPARE(model.index(0, 0).data().toString(), QString());
        model.SetRowCount(0);
        QVERIFY(!model.index(0, 0).isValid());
    }

    void enterAndEscEndTheWindow_data() {
        QTest::addColumn<int>("focus");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("result");
        QTest::newRow("Enter in the file name field")
            << IDC_EDIT_DATA_FILE << int(Qt::Key_Return) << kIdOk;
        QTest::newRow("Enter in the data list") << IDC_LIST_DATA << int(Qt::Key_Enter) << kIdOk;
        QTest::newRow("Esc on a button")
            << IDC_BUTTON_OUTPUT_START << int(Qt::Key_Escape) << kIdCancel;
    }
    void enterAndEscEndTheWindow() {
        QFETCH(int, focus);
        QFETCH(int, key);
        QFETCH(int, result);
        CQtWindow window;
        window.View().show();
        QVERIFY(QTest::qWaitForWindowActive(&window.View()));
        int finished = -1;
        connect(&window.View(), &QDialog::finished, this, [&finished](int r) { finished = r; });
        window.Control(focus)->setFocus(Qt::TabFocusReason);
        QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(key));
        QCOMPARE(finished, result);
        QVERIFY(!window.View().isVisible());
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
        CQtWindow window;
        window.View().show();
        QVERIFY(QTest::qWaitForWindowActive(&window.View()));
        Choose(window, "L0\r\nL1\r\n");
        int finished = -1;
        connect(&window.View(), &QDialog::finished, this, [&finished](int r) { finished = r; });
        auto press = [](Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
            QTest::keyClick(QApplication::focusWidget(), key, modifiers);
        };

        // From the file name field Tab reaches "..." and then Output Start (the conversion
        // button is disabled for a plain data file).
        window.Control(IDC_EDIT_DATA_FILE)->setFocus(Qt::TabFocusReason);
        press(Qt::Key_Tab);
        press(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), window.Control(IDC_BUTTON_OUTPUT_START));
        press(Qt::Key_Return);
        QVERIFY(window.dlg.IsOutputRunning());
        QVERIFY(receiver.WaitForBytes(4));
        QCOMPARE(receiver.Received(), std::string("L0\r\n"));

        // Output Start gave its focus away when it was disabled; Output Stop is one Shift+Tab
        // back from where it went, and Enter there stops the run.
        press(Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), window.Control(IDC_BUTTON_OUTPUT_STOP));
        press(Qt::Key_Enter, Qt::KeypadModifier);
        QVERIFY(window.Control(IDC_BUTTON_OUTPUT_START)->isEnabled());
        QVERIFY(receiver.WaitForClosed(1));

        // Option... opens its dialog.
        QString seenCaption;
        WhenModal([&seenCaption](CQtDialogView& options) {
            seenCaption = options.windowTitle();
            options.Control(IDC_BUTTON_OUTPUT_CANCEL)->setFocus();
            QTest::keyClick(options.Control(IDC_BUTTON_OUTPUT_CANCEL), Qt::Key_Return);
        });
        window.Control(IDC_BUTTON_OUTPUT_OPTION)->setFocus(Qt::TabFocusReason);
        press(Qt::Key_Return);
        QCOMPARE(seenCaption, QStringLiteral("Output Option"));

        QCOMPARE(finished, -1);
        QVERIFY(window.View().isVisible());
    }

    void theAboutItemIsInTheContextMenuAndOnF1() {
        CQtWindow window;
        window.View().show();
        QVERIFY(QTest::qWaitForWindowActive(&window.View()));
        QAction* about = nullptr;
        for (QAction* action : window.View().actions()) {
            if (action->text() == QStringLiteral("&About Tillstream...")) {
                about = action;
            }
        }
        QVERIFY(about != nullptr);
        QCOMPARE(about->shortcut(), QKeySequence(Qt::Key_F1));
        QCOMPARE(window.View().contextMenuPolicy(), Qt::ActionsContextMenu);

        QString seenCaption;
        WhenModal([&seenCaption](CQtDialogView& box) {
            seenCaption = box.windowTitle();
            qobject_cast<QPushButton*>(box.Control(IDC_ABOUT_OK))->click();
        });
        QTest::keyClick(window.Control(IDC_EDIT_DATA_FILE), Qt::Key_F1);
        QCOMPARE(seenCaption, QStringLiteral("About Tillstream"));
        QVERIFY(window.View().isVisible());
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
