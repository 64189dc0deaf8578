// The Qt views: every template made into widgets at their place with their IDs, the widgets as
// the ui set them up, the data list drawing the ui's lines (selecting one item without touching
// the others) and keying like a list, the keyboard (Enter and Esc reaching the ui from every
// control, a page's and the address fields included; Enter pressing the focused button and the
// focus moving on as it disables itself; Tab through the main window and the shown page), the
// page laid out in pixels, the address control's typing, the choosers' wiring, the About item
// in the context menu and on F1 and its box centred, message boxes built from their flags, and
// the tray icon: the right click popping the ui's menu up, the window manager's minimise hiding
// the window to the tray, the double click bringing it back, always on top keeping place and
// size. (The real program's keys: tests/integration/gui_smoke.sh.)
#include <QAbstractItemModelTester>
#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSystemTrayIcon>
#include <QTableView>
#include <QTest>
#include <QTreeView>

#include "LoopbackServer.h"
#include "gui_qt/IpAddressCtrl.h"
#include "gui_qt/LineListModel.h"
#include "gui_qt/LineListView.h"
#include "gui_qt/TemplateWidgets.h"
#include "support/QtWindowHarness.h"
#include "ui/InputOptionDlg.h"
#include "ui/ListSource.h"
#include "ui/OutputOptionDlg.h"

namespace {
// The page of `dialog` that has the control `controlId`.
CQtDialogView* Page(CQtDialogView& dialog, int controlId) {
    for (auto* page : dialog.findChildren<CQtDialogView*>()) {
        if (page->Control(controlId) != nullptr) {
            return page;
        }
    }
    return nullptr;
}
CIpAddressCtrl* Address(CQtDialogView& dialog) {
    return qobject_cast<CIpAddressCtrl*>(Page(dialog, IDC_IPADDRESS_REMOTE)->Control(1047));
}
QPoint TemplatePos(int templateId, int controlId) {
    const DialogTemplate dialogTemplate = DialogTemplate::Load(templateId);
    return CTemplateWidgets::PixelRect(dialogTemplate, dialogTemplate.Control(controlId)->rect)
        .topLeft();
}
QStringList Texts(const QMenu* menu) {
    QStringList texts;
    for (QAction* action : menu->actions()) {
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    return texts;
}
const CQtTrayView* TrayView(const CQtWindow& window) {
    return dynamic_cast<const CQtTrayView*>(window.dlg.TrayIcon().View());
}
const QStringList kMenuTexts{"Tillstream Open(&O)",
                             "-",
                             "Start Tillstream",
                             "Stop Tillstream",
                             "-",
                             "Always on top",
                             "Normal",
                             "-",
                             "Exit(&X)"};

// The window, shown and active.
bool Show(CQtWindow& window) {
    window.View().show();
    return QTest::qWaitForWindowActive(&window.View());
}
}  // namespace

class ViewsTest : public QObject {
    Q_OBJECT
  private:
    std::unique_ptr<TempHome> m_home;
    CQtPrompts m_prompts;
    CTestQtViewFactory m_factory{m_prompts};
    OptionRecord m_record{};

    // Runs a `Dialog` on m_record with `action` inside its modal loop; on 2 the edited record
    // replaces m_record, as the window does.
    template <class Dialog>
    int Run(const std::function<void(CQtDialogView&)>& action) {
        Dialog dialog(m_factory);
        dialog.SetOptionData(m_record);
        WhenModal(action);
        const int result = dialog.DoModal();
        if (result == 2) {
            dialog.GetOptionData(m_record);
        }
        return result;
    }

  private slots:
    void init() {
        m_home = std::make_unique<TempHome>();
        m_prompts = CQtPrompts{};
        m_record = MakeDefaultOptionRecord();
    }
    void cleanup() { m_home.reset(); }

    void everyTemplateBuilds_data() {
        QTest::addColumn<int>("templateId");
        for (int id : {100, 102, 129, 130, 135, 136}) {
            QTest::addRow("%d", id) << id;
        }
    }
    void everyTemplateBuilds() {
        QFETCH(int, templateId);
        const DialogTemplate dialogTemplate = DialogTemplate::Load(templateId);
        QWidget host;
        CTemplateWidgets widgets;
        widgets.Build(dialogTemplate, &host);
        QCOMPARE(host.size(), CTemplateWidgets::PixelSize(dialogTemplate));
        QCOMPARE(host.windowTitle(), QString::fromStdString(dialogTemplate.caption));
        for (const ControlTemplate& control : dialogTemplate.controls) {
            QWidget* widget = widgets.Control(control.id);
            QVERIFY(control.id == -1 || widget != nullptr);
            if (widget != nullptr) {
                QCOMPARE(widget->objectName(), QStringLiteral("control_%1").arg(control.id));
                QCOMPARE(widget->isHidden(), control.Has("hidden"));
                QCOMPARE(widget->isEnabled(), !control.Has("disabled"));
                QCOMPARE(widget->pos(),
                         CTemplateWidgets::PixelRect(dialogTemplate, control.rect).topLeft());
                // A combo box's rectangle includes its dropped list: only the field is laid out.
                QVERIFY(control.kind != "combobox" || widget->height() <= widgets.Units().Y(13));
            }
        }
    }

    void controlsAreOfTheirKindAndDialogUnitsAdjoin() {
        QWidget host;
        CTemplateWidgets widgets;
        widgets.Build(DialogTemplate::Load(102), &host);
        QVERIFY(widgets.ControlAs<QLineEdit>(1019)->isReadOnly());
        QCOMPARE(widgets.ControlAs<QPushButton>(1050)->text(),
                 QStringLiteral("Make Tillstream Data"));
        QVERIFY(widgets.ControlAs<CLineListView>(1006) != nullptr);  // ownerdata
        QCOMPARE(widgets.TabStops().first(), widgets.Control(1019));
        QWidget page;
        CTemplateWidgets pageWidgets;
        pageWidgets.Build(DialogTemplate::Load(135), &page);
        auto* address = pageWidgets.ControlAs<CIpAddressCtrl>(1047);
        QCOMPARE(CTemplateWidgets::ControlIdOf(address->Field(2)), 1047);  // a field counts
        QVERIFY(pageWidgets.ControlAs<QPushButton>(1)->isDefault());
        QWidget input;
        CTemplateWidgets inputWidgets;
        inputWidgets.Build(DialogTemplate::Load(130), &input);
        QVERIFY(inputWidgets.ControlAs<QComboBox>(1035)->isEditable());
        QVERIFY(inputWidgets.ControlAs<QLineEdit>(1033)->isReadOnly());
        QWidget serial;
        CTemplateWidgets serialWidgets;
        serialWidgets.Build(DialogTemplate::Load(136), &serial);
        QVERIFY(!serialWidgets.ControlAs<QComboBox>(1016)->isEditable());

        CDialogUnits units(QFont(QStringLiteral("Sans"), 8));
        QCOMPARE(units.X(4), units.BaseX());
        QCOMPARE(units.Y(8), units.BaseY());
        // Adjacent rectangles stay adjacent after conversion.
        QCOMPARE(units.ToPixels(QRect(13, 40, 53, 14)).right() + 1,
                 units.ToPixels(QRect(66, 40, 53, 14)).left());
    }

    void theMainWindowsListsShowWhatTheUiGaveThemAndKeyFromLineToLine() {
        CQtWindow window(m_prompts);
        QVERIFY(Show(window));
        auto* options = window.ControlAs<QTreeView>(IDC_LIST_OPTION);
        const int width = options->width() - 2 * options->frameWidth();
        QCOMPARE(options->columnWidth(2), static_cast<int>(width * 0.01 * 50));
        QCOMPARE(options->model()->headerData(3, Qt::Horizontal).toString(), QStringLiteral("Etc"));
        QCOMPARE(options->model()->index(2, 2).data().toString(), QStringLiteral("500 msec"));
        QCOMPARE(window.ControlAs<QProgressBar>(IDC_PROGRESS)->maximum(), 100);
        std::string bytes;
        for (int i = 0; i < 100; ++i) {
            bytes += "line " + std::to_string(i) + "\r\n";
        }
        const std::string path = m_home->Path("data.txt");
        WriteFileBytes(path, bytes);
        m_prompts.chosenFiles << QPath(path);
        window.ControlAs<QPushButton>(IDC_BUTTON_SELECT_FILE)->click();
        QCOMPARE(window.ControlAs<QLineEdit>(IDC_EDIT_DATA_FILE)->text(), QPath(path));
        auto* list = window.ControlAs<QTableView>(IDC_LIST_DATA);
        QVERIFY(list->horizontalHeader()->isHidden() && list->verticalHeader()->isHidden());
        QCOMPARE(list->columnWidth(0), 450);
        QCOMPARE(list->model()->headerData(0, Qt::Horizontal).toString(),
                 QStringLiteral("Content"));
        QCOMPARE(list->model()->rowCount(), 100);
        const QModelIndex line = list->model()->index(7, 0);
        QCOMPARE(line.data().toString(), QString::fromUtf16(u"line 7\u240D"));
        QCOMPARE(line.data(Qt::ToolTipRole).toString(), line.data().toString());
        QVERIFY(line.data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignHCenter);

        const int perPage = window.View().GetListCountPerPage(IDC_LIST_DATA);
        QVERIFY(perPage > 1 && perPage < 100);
        // One whole line selected, the current one (or `row` when given), and in view.
        auto shown = [&](Qt::Key key, int row = -1) {
            if (row < 0) {
                QTest::keyClick(list, key);
                row = list->currentIndex().row();
            }
            const QModelIndexList selected = list->selectionModel()->selectedRows();
            const int top = list->verticalScrollBar()->value();
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
        const int pageDown = shown(Qt::Key_PageDown);
        QVERIFY2(pageDown >= perPage - 1 && pageDown <= perPage,
                 qPrintable(QString::number(pageDown)));
        QCOMPARE(shown(Qt::Key_PageUp), 0);
        QTest::keyClick(list, Qt::Key_Tab);
        QVERIFY(!list->hasFocus());
        // A click selects one line, Ctrl adds another: the list is not of the single-selection
        // style. Output Stop unselects them all.
        auto click = [list](int row, Qt::KeyboardModifiers modifiers) {
            const QRect rect = list->visualRect(list->model()->index(row, 0));
            QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, rect.center());
        };
        click(2, Qt::NoModifier);
        click(4, Qt::ControlModifier);
        QCOMPARE(list->selectionModel()->selectedRows().size(), 2);
        window.dlg.OnButtonOutputStop();
        QVERIFY(list->selectionModel()->selectedRows().isEmpty());
        // The line being played: selected and scrolled into view by the ui through the view,
        // the line before unselected.
        for (int i : {perPage, 99, 0}) {
            window.dlg.ShowPlaybackLine(i, i);
            QCOMPARE(shown(Qt::Key_unknown, i), i);
        }
        window.dlg.OnButtonOutputStop();
        QVERIFY(list->selectionModel()->selectedRows().isEmpty());
    }

    void theLineModelPassesTheModelTester() {
        struct CCountingSource : CListSource {
            std::string ItemText(int nIndex) const override { return std::to_string(nIndex); }
        } source;
        CLineListModel model;
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.SetSource(&source);
        model.SetRowCount(1000000);
        QCOMPARE(model.index(999999, 0).data().toString(), QStringLiteral("999999"));
        model.SetSource(nullptr);
        QCOMPARE(model.index(0, 0).data().toString(), QString());
        model.SetRowCount(0);
        QVERIFY(!model.index(0, 0).isValid());
    }

    void enterAndEscEndTheMainWindow_data() {
        QTest::addColumn<int>("focus");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("result");
        QTest::newRow("Enter in the file name field")
            << IDC_EDIT_DATA_FILE << int(Qt::Key_Return) << kIdOk;
        QTest::newRow("Enter in the data list") << IDC_LIST_DATA << int(Qt::Key_Enter) << kIdOk;
        QTest::newRow("Esc on a button")
            << IDC_BUTTON_OUTPUT_START << int(Qt::Key_Escape) << kIdCancel;
    }
    void enterAndEscEndTheMainWindow() {
        QFETCH(int, focus);
        QFETCH(int, key);
        QFETCH(int, result);
        CQtWindow window(m_prompts);
        QVERIFY(Show(window));
        int finished = -1;
        connect(&window.View(), &QDialog::finished, this, [&finished](int r) { finished = r; });
        window.Control(focus)->setFocus(Qt::TabFocusReason);
        QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(key));
        QCOMPARE(finished, result);
        QVERIFY(!window.View().isVisible());
    }

    void enterPressesTheFocusedButtonAndTheFocusMovesOnAsAButtonIsDisabled() {
        LoopbackTcpServer receiver;
        OptionRecord record = MakeDefaultOptionRecord();
        record.outputInterface = kInterfaceTcpClient;
        record.remoteAddress = kLoopbackAddress;
        record.remotePort = receiver.Port();
        record.loopEnabled = 1;
        record.delayMs = 600000;  // the run goes on until it is stopped
        SaveStoredOptions(record, "test");
        CQtWindow window(m_prompts);
        QVERIFY(Show(window));
        const std::string path = m_home->Path("day.txt");
        WriteFileBytes(path, "L0\r\nL1\r\n");
        m_prompts.chosenFiles << QPath(path);
        window.ControlAs<QPushButton>(IDC_BUTTON_SELECT_FILE)->click();
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

        // Output Start handed its focus to Output Stop as it disabled itself: Enter there stops
        // the run, and the focus is back on Output Start.
        QCOMPARE(QApplication::focusWidget(), window.Control(IDC_BUTTON_OUTPUT_STOP));
        press(Qt::Key_Enter, Qt::KeypadModifier);
        QVERIFY(window.ControlAs<QPushButton>(IDC_BUTTON_OUTPUT_START)->isEnabled());
        QCOMPARE(QApplication::focusWidget(), window.Control(IDC_BUTTON_OUTPUT_START));
        QVERIFY(receiver.WaitForClosed(1));

        // Enter on Option... opens its dialog.
        QString seenCaption;
        WhenModal([&seenCaption](CQtDialogView& options) {
            seenCaption = options.windowTitle();
            qobject_cast<QPushButton*>(options.Control(IDC_BUTTON_OUTPUT_CANCEL))->click();
        });
        window.Control(IDC_BUTTON_OUTPUT_OPTION)->setFocus(Qt::TabFocusReason);
        press(Qt::Key_Return);
        QCOMPARE(seenCaption, QStringLiteral("Output Option"));

        QCOMPARE(finished, -1);
        QVERIFY(window.View().isVisible());
    }

    void theAboutItemIsInTheContextMenuAndOnF1AndItsBoxIsCentred() {
        CQtWindow window(m_prompts);
        QVERIFY(Show(window));
        QCOMPARE(window.View().contextMenuPolicy(), Qt::ActionsContextMenu);
        const QList<QAction*> actions = window.View().actions();
        QCOMPARE(actions.size(), 1);
        QCOMPARE(actions[0]->text(), QStringLiteral("&About Tillstream..."));
        QStringList captions;
        QRect placed;
        const auto closeAbout = [&](CQtDialogView& box) {
            captions << box.windowTitle();
            placed = QRect(box.pos(), box.size());
            qobject_cast<QPushButton*>(box.Control(IDC_ABOUT_OK))->click();
        };
        WhenModal(closeAbout);
        QTest::keyClick(window.Control(IDC_EDIT_DATA_FILE), Qt::Key_F1);
        WhenModal(closeAbout);
        actions[0]->trigger();
        QCOMPARE(captions, QStringList(2, QStringLiteral("About Tillstream")));
        QVERIFY(window.View().isVisible());
        // The box stands in the middle of the window that owns it.
        const QRect owner = window.View().geometry();
        QCOMPARE(placed.x(), std::max(owner.x() + (owner.width() - placed.width()) / 2, 0));
        QCOMPARE(placed.y(), std::max(owner.y() + (owner.height() - placed.height()) / 2, 0));
    }

    void aMessageBoxHasTheButtonsItsFlagsAskFor() {
        CQtWindow window(m_prompts);
        QVERIFY(Show(window));
        // Answered from inside the box's own loop; nullptr when no box is open.
        auto answer = [](const std::function<void(QMessageBox&)>& action) {
            QTimer::singleShot(0, [action] {
                if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                    action(*box);
                }
            });
        };
        auto texts = [](const QMessageBox& box) {
            QStringList shown;
            for (QAbstractButton* button : box.buttons()) {
                shown << button->text();
            }
            shown.sort();
            return shown;
        };
        CQtDialogView& view = window.View();
        QStringList seen;
        answer([&](QMessageBox& box) {
            seen = texts(box);
            QCOMPARE(box.icon(), QMessageBox::Question);
            QCOMPARE(box.defaultButton()->text(), QStringLiteral("&No"));
            QTest::keyClick(&box, Qt::Key_Escape);  // no Cancel button: Esc does nothing
            QVERIFY(box.isVisible());
            for (QAbstractButton* button : box.buttons()) {
                if (button->text() == QStringLiteral("&Yes")) {
                    button->click();
                }
            }
        });
        QCOMPARE(view.CQtDialogView::ShowMessageBox("Go on?", "Tillstream",
                                                    kMbYesNo | kMbIconQuestion | kMbDefButton2),
                 kIdYes);
        QCOMPARE(seen, (QStringList{"&No", "&Yes"}));
        answer([&](QMessageBox& box) {
            seen = texts(box);
            QCOMPARE(box.icon(), QMessageBox::NoIcon);
            QTest::keyClick(&box, Qt::Key_Escape);
        });
        QCOMPARE(view.CQtDialogView::ShowMessageBox("Thread Start Error", "Tillstream", kMbOk),
                 kIdOk);
        QCOMPARE(seen, QStringList{"OK"});
        answer([&](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); });
        QCOMPARE(view.CQtDialogView::ShowMessageBox("Retry?", "Tillstream", kMbRetryCancel),
                 kIdCancel);
    }

    void addressFieldsTypeLikeAnAddress() {
        CIpAddressCtrl address;
        address.SetAddress(0xC0A8000A);
        QCOMPARE(address.Field(0)->text(), QStringLiteral("192"));
        QCOMPARE(address.Field(3)->text(), QStringLiteral("10"));
        address.Field(1)->clear();
        QTest::keyClicks(address.Field(1), QStringLiteral("9x99"));  // letters are not taken
        QCOMPARE(address.Field(1)->text(), QStringLiteral("999"));
        QCOMPARE(address.GetAddress(), 0xC0FF000Au);  // above 255 reads as 255
        address.Field(3)->clear();
        QVERIFY(!address.IsBlank());
        QCOMPARE(address.GetAddress(), 0xC0FF0000u);  // a blank field reads as 0
        for (int i = 0; i < 4; ++i) {
            address.Field(i)->clear();
        }
        QVERIFY(address.IsBlank());
        QCOMPARE(address.GetAddress(), 0u);
    }

    void typedAddressReplacesWhatTheFieldsHeld_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<uint>("stored");
        // Typed into 192.168.0.10, starting in the first field.
        QTest::addRow("three digits move on, the dot after them is no second move")
            << "127.0.0.1" << QStringList{"127", "0", "0", "1"} << 0x7F000001u;
        QTest::addRow("a dot in a field just entered stays")
            << "1..2.3.4" << QStringList{"1", "2", "3", "4"} << 0x01020304u;
        QTest::addRow("no leading zeros")
            << "10.01.00.7" << QStringList{"10", "1", "0", "7"} << 0x0A010007u;
        QTest::addRow("above 255 reads as 255")
            << "10.1.2.300" << QStringList{"10", "1", "2", "300"} << 0x0A0102FFu;
    }
    void typedAddressReplacesWhatTheFieldsHeld() {
        QFETCH(QString, typed);
        QFETCH(QStringList, shown);
        QFETCH(uint, stored);
        m_record.remoteAddress = 0xC0A8000A;
        QStringList fields;
        QCOMPARE(Run<COutputOptionDlg>([&](CQtDialogView& d) {
                     if (!QTest::qWaitForWindowActive(&d)) {
                         return;
                     }
                     Address(d)->Field(0)->setFocus(Qt::TabFocusReason);
                     QTest::keyClicks(nullptr, typed);  // each key to the field with the focus
                     for (int i = 0; i < 4; ++i) {
                         fields << Address(d)->Field(i)->text();
                     }
                     qobject_cast<QPushButton*>(d.Control(IDC_BUTTON_OUTPUT_OK))->click();
                 }),
                 2);
        QCOMPARE(fields, shown);
        QCOMPARE(m_record.remoteAddress, stored);
    }

    void keysReachTheOptionDialogsFromEveryControl_data() {
        QTest::addColumn<int>("where");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("result");
        QTest::addRow("Enter in the delay edit") << 0 << int(Qt::Key_Return) << 2;
        QTest::addRow("Enter in the page's port edit") << 1 << int(Qt::Key_Return) << 2;
        QTest::addRow("Enter in an address field") << 2 << int(Qt::Key_Enter) << 2;
        QTest::addRow("Enter on OK") << 3 << int(Qt::Key_Return) << 2;
        QTest::addRow("Enter on the focused Cancel") << 4 << int(Qt::Key_Return) << 0;
        QTest::addRow("Escape in the delay edit") << 0 << int(Qt::Key_Escape) << 0;
        QTest::addRow("Escape in an address field") << 2 << int(Qt::Key_Escape) << 0;
        QTest::addRow("the close box") << 5 << 0 << 0;
        QTest::addRow("Escape in the input dialog's combo box") << 6 << int(Qt::Key_Escape) << 0;
        QTest::addRow("Enter on the input dialog's \"...\"") << 7 << int(Qt::Key_Return) << 2;
    }
    void keysReachTheOptionDialogsFromEveryControl() {
        QFETCH(int, where);
        QFETCH(int, key);
        QFETCH(int, result);
        auto press = [&](CQtDialogView& d, QWidget* target) {
            if (where == 5) {
                d.close();
                return;
            }
            target->setFocus();
            QTest::keyClick(target, static_cast<Qt::Key>(key));
        };
        if (where >= 6) {
            QCOMPARE(
                Run<CInputOptionDlg>([&](CQtDialogView& d) {
                    qobject_cast<QLineEdit*>(d.Control(IDC_EDIT_INPUT_DATA_BITS))
                        ->setText(QStringLiteral("7"));
                    press(d, d.Control(where == 6 ? IDC_COMBO_INPUT_BAUD_RATE : IDC_BUTTON_BROWSE));
                }),
                result);
            QVERIFY(m_prompts.chooserTitles.isEmpty());  // Enter on "..." ran OK, not it
            QCOMPARE(m_record.inputDataBits, result == 2 ? 7 : 8);
            return;
        }
        QCOMPARE(Run<COutputOptionDlg>([&](CQtDialogView& d) {
                     qobject_cast<QLineEdit*>(d.Control(IDC_EDIT_DELAY))
                         ->setText(QStringLiteral("1000"));
                     QWidget* targets[] = {d.Control(IDC_EDIT_DELAY),
                                           Page(d, IDC_EDIT_REMOTE_PORT)->Control(1048),
                                           Address(d)->Field(2),
                                           d.Control(IDC_BUTTON_OUTPUT_OK),
                                           d.Control(IDC_BUTTON_OUTPUT_CANCEL),
                                           nullptr};
                     press(d, targets[where]);
                 }),
                 result);
        QCOMPARE(m_record.delayMs, result == 2 ? 1000u : 500u);
    }

    void theFolderChooserFillsTheFolderField() {
        m_prompts.folderAnswer = QPath(m_home->Path("captures"));
        QString shown;
        QCOMPARE(Run<CInputOptionDlg>([&shown](CQtDialogView& d) {
                     qobject_cast<QPushButton*>(d.Control(IDC_BUTTON_BROWSE))->click();
                     shown = qobject_cast<QLineEdit*>(d.Control(IDC_EDIT_CAPTURE_FOLDER))->text();
                     qobject_cast<QPushButton*>(d.Control(IDC_BUTTON_INPUT_OK))->click();
                 }),
                 2);
        QCOMPARE(m_prompts.chooserTitles, QStringList{QStringLiteral("Select Folder")});
        QCOMPARE(shown, m_prompts.folderAnswer);
        QCOMPARE(QString::fromStdString(CaptureFolderText(m_record)), m_prompts.folderAnswer);
    }

    void tabRunsThroughTheShownPageBeforeOk() {
        QStringList visited;
        QCOMPARE(Run<COutputOptionDlg>([&](CQtDialogView& d) {
                     if (!QTest::qWaitForWindowActive(&d)) {
                         return;
                     }
                     d.Control(IDC_EDIT_DELAY)->setFocus();
                     while (QApplication::focusWidget() != d.Control(IDC_BUTTON_OUTPUT_OK) &&
                            visited.size() < 12) {
                         QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                         visited.append(QApplication::focusWidget()->objectName());
                     }
                     d.EndDialog(0);
                 }),
                 0);
        QVERIFY2(visited.contains(QStringLiteral("control_1048")), qPrintable(visited.join(',')));
        QCOMPARE(visited.last(), QStringLiteral("control_1004"));
        QVERIFY(!visited.contains(QStringLiteral("control_1016")));  // the hidden page
    }

    void thePageHangsUnderTheInterfaceGroupInPixels() {
        COutputOptionDlg dialog(m_factory);
        dialog.SetOptionData(m_record);
        QVERIFY(dialog.Create(nullptr));
        auto& d = dynamic_cast<CQtDialogView&>(*dialog.View());
        const QSize templateSize = CTemplateWidgets::PixelSize(DialogTemplate::Load(129));
        const QPoint ok = TemplatePos(129, IDC_BUTTON_OUTPUT_OK);
        for (int controlId : {IDC_IPADDRESS_REMOTE, IDC_COMBO_COM_PORT}) {
            CQtDialogView* page = Page(d, controlId);
            QVERIFY(!page->isHidden());
            QCOMPARE(page->pos(), TemplatePos(129, IDC_STATIC_PAGE_MARKER));
            QCOMPARE(d.size(), templateSize + QSize(0, page->height() + 10));
            QCOMPARE(d.Control(IDC_BUTTON_OUTPUT_OK)->pos(), ok + QPoint(0, page->height() + 10));
            dialog.OnRadioRS232();
        }
        QCOMPARE(Page(d, IDC_COMBO_COM_PORT)->size(),
                 CTemplateWidgets::PixelSize(DialogTemplate::Load(136)));
        QVERIFY(Page(d, IDC_IPADDRESS_REMOTE)->isHidden());
    }

    void withoutANotificationAreaMinimisingLeavesTheWindowMinimised() {
        CQtWindow window(m_prompts);
        window.View().show();
        QVERIFY(QTest::qWaitForWindowExposed(&window.View()));
        QVERIFY(!window.dlg.TrayIcon().IsEnabled());
        window.View().showMinimized();
        QTest::qWait(50);
        QVERIFY(window.View().isVisible());
    }

    void aRightClickOnTheIconPopsUpTheTrayMenu() {
        CQtWindow window(m_prompts, true);
        window.View().show();
        QVERIFY(window.dlg.TrayIcon().IsEnabled());
        const CQtTrayView* tray = TrayView(window);
        QVERIFY(tray != nullptr && tray->Icon() != nullptr);
        QVERIFY(tray->Icon()->isVisible());
        QCOMPARE(tray->Icon()->toolTip(), QStringLiteral("Tillstream"));
        // The icon has no menu of its own: the context request goes to the window's tray icon
        // as a right click, which pops the template's menu up.
        QVERIFY(tray->Icon()->contextMenu() == nullptr);
        emit tray->Icon()->activated(QSystemTrayIcon::Trigger);  // a click: nothing
        QVERIFY(tray->OpenPopupMenu() == nullptr);
        emit tray->Icon()->activated(QSystemTrayIcon::Context);
        QMenu* menu = tray->OpenPopupMenu();
        QVERIFY(menu != nullptr);
        QTRY_VERIFY(menu->isVisible());
        QCOMPARE(Texts(menu), kMenuTexts);
        QCOMPARE(menu->defaultAction(), menu->actions().first());
        // A chosen item is the window's command: always on top, in the same place and size.
        window.View().move(40, 30);
        QVERIFY(QTest::qWaitForWindowExposed(&window.View()));
        const QRect before(window.View().pos(), window.View().size());
        menu->actions().at(5)->trigger();
        QVERIFY(window.View().windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(window.View().isVisible());
        QCOMPARE(window.View().size(), before.size());
        QCOMPARE(window.View().pos(), before.topLeft());
        window.dlg.OnCommand(ID_TRAY_NORMAL);
        QVERIFY(!window.View().windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(window.View().pos(), before.topLeft());
        menu->close();
    }

    void minimisingHidesAndADoubleClickBringsTheWindowBack() {
        CQtWindow window(m_prompts, true);
        window.View().show();
        QVERIFY(QTest::qWaitForWindowExposed(&window.View()));
        // As the window manager minimises it.
        window.View().showMinimized();
        QTRY_VERIFY(!window.View().isVisible());

        // The double click on the icon runs the menu's first command: the window opens again.
        emit TrayView(window)->Icon()->activated(QSystemTrayIcon::DoubleClick);
        QVERIFY(window.View().isVisible());
        QVERIFY(!window.View().isMinimized());
    }
};

QTEST_MAIN(ViewsTest)
#include "tst_views.moc"
