// The option dialogs' Qt views: the address control's typing, Enter and Esc reaching the ui from
// every control (a page's and the address fields included), the tab order through the shown
// page, the page laid out in pixels, and the folder chooser's wiring.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "gui_qt/IpAddressCtrl.h"
#include "gui_qt/TemplateWidgets.h"
#include "support/QtWindowHarness.h"
#include "ui/InputOptionDlg.h"
#include "ui/OutputOptionDlg.h"

namespace {
// The page view of template `templateId` inside `dialog`.
CQtDialogView* Page(CQtDialogView& dialog, int templateId) {
    for (auto* page : dialog.findChildren<CQtDialogView*>()) {
        if (page->Control(templateId == IDD_CLIENT_PROPERTY ? IDC_IPADDRESS_REMOTE
                                                            : IDC_COMBO_COM_PORT) != nullptr) {
            return page;
        }
    }
    return nullptr;
}

CIpAddressCtrl* Address(CQtDialogView& dialog) {
    return qobject_cast<CIpAddressCtrl*>(
        Page(dialog, IDD_CLIENT_PROPERTY)->Control(IDC_IPADDRESS_REMOTE));
}

QPoint TemplatePos(int templateId, int controlId) {
    const DialogTemplate dialogTemplate = DialogTemplate::Load(templateId);
    return CTemplateWidgets::PixelRect(dialogTemplate, dialogTemplate.Control(controlId)->rect)
        .topLeft();
}
}  // namespace

class OptionDialogsTest : public QObject {
    Q_OBJECT
  private:
    std::unique_ptr<TempHome> m_home;
    std::unique_ptr<CQtPrompts> m_prompts;
    CQtViewFactory m_factory;
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
        m_prompts = std::make_unique<CQtPrompts>();
        m_record = MakeDefaultOptionRecord();
    }
    void cleanup() {
        m_prompts.reset();
        m_home.reset();
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
                     CIpAddressCtrl* address = Address(d);
                     address->Field(0)->setFocus(Qt::TabFocusReason);
                     QTest::keyClicks(nullptr, typed);  // each key to the field with the focus
                     for (int i = 0; i < 4; ++i) {
                         fields << address->Field(i)->text();
                     }
                     qobject_cast<QPushButton*>(d.Control(IDC_BUTTON_OUTPUT_OK))->click();
                 }),
                 2);
        QCOMPARE(fields, shown);
        QCOMPARE(m_record.remoteAddress, stored);
    }

    void keysReachTheOutputDialogFromEveryControl_data() {
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
    }
    void keysReachTheOutputDialogFromEveryControl() {
        QFETCH(int, where);
        QFETCH(int, key);
        QFETCH(int, result);
        QCOMPARE(Run<COutputOptionDlg>([&](CQtDialogView& d) {
                     qobject_cast<QLineEdit*>(d.Control(IDC_EDIT_DELAY))
                         ->setText(QStringLiteral("1000"));
                     QWidget* targets[] = {
                         d.Control(IDC_EDIT_DELAY),
                         Page(d, IDD_CLIENT_PROPERTY)->Control(IDC_EDIT_REMOTE_PORT),
                         Address(d)->Field(2), d.Control(IDC_BUTTON_OUTPUT_OK),
                         d.Control(IDC_BUTTON_OUTPUT_CANCEL)};
                     if (where == 5) {
                         d.close();
                         return;
                     }
                     targets[where]->setFocus();
                     QTest::keyClick(targets[where], static_cast<Qt::Key>(key));
                 }),
                 result);
        QCOMPARE(m_record.delayMs, result == 2 ? 1000u : 500u);
    }

    void keysReachTheInputDialogFromEveryControl() {
        // Escape in a combo box's field cancels; Enter on "..." runs OK, not the chooser.
        QCOMPARE(Run<CInputOptionDlg>([](CQtDialogView& d) {
                     QTest::keyClick(d.Control(IDC_COMBO_INPUT_BAUD_RATE), Qt::Key_Escape);
                 }),
                 0);
        QCOMPARE(
            Run<CInputOptionDlg>([](CQtDialogView& d) {
                qobject_cast<QComboBox*>(d.Control(IDC_COMBO_INPUT_PARITY))->setCurrentIndex(1);
                d.Control(IDC_BUTTON_BROWSE)->setFocus();
                QTest::keyClick(d.Control(IDC_BUTTON_BROWSE), Qt::Key_Return);
            }),
            2);
        QVERIFY(m_prompts->chooserTitles.isEmpty());
        QCOMPARE(m_record.inputParity, 1);
    }

    void theFolderChooserFillsTheFolderField() {
        m_prompts->folderAnswer = QPath(m_home->Path("captures"));
        QString shown;
        QCOMPARE(Run<CInputOptionDlg>([&shown](CQtDialogView& d) {
                     qobject_cast<QPushButton*>(d.Control(IDC_BUTTON_BROWSE))->click();
                     shown = qobject_cast<QLineEdit*>(d.Control(IDC_EDIT_CAPTURE_FOLDER))->text();
                     qobject_cast<QPushButton*>(d.Control(IDC_BUTTON_INPUT_OK))->click();
                 }),
                 2);
        QCOMPARE(m_prompts->chooserTitles, QStringList{QStringLiteral("Select Folder")});
        QCOMPARE(shown, m_prompts->folderAnswer);
        QCOMPARE(QString::fromStdString(CaptureFolderText(m_record)), m_prompts->folderAnswer);
    }

    void tabRunsThroughTheShownPageBeforeOk() {
        QStringList visited;
        QCOMPARE(Run<COutputOptionDlg>([&](CQtDialogView& d) {
                     if (!QTest::qWaitForWindowActive(&d)) {
                         return;
                     }
                     d.Control(IDC_EDIT_DELAY)->setFocus();
                     for (int step = 0; step < 12; ++step) {
                         QWidget* focus = QApplication::focusWidget();
                         if (focus == nullptr || focus == d.Control(IDC_BUTTON_OUTPUT_OK)) {
                             break;
                         }
                         QTest::keyClick(focus, Qt::Key_Tab);
                         focus = QApplication::focusWidget();
                         visited.append(focus != nullptr ? focus->objectName() : QString());
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
        CQtDialogView* client = Page(d, IDD_CLIENT_PROPERTY);
        CQtDialogView* serial = Page(d, IDD_RS232_PROPERTY);
        QCOMPARE(client->size(), CTemplateWidgets::PixelSize(DialogTemplate::Load(135)));
        QCOMPARE(serial->size(), CTemplateWidgets::PixelSize(DialogTemplate::Load(136)));
        const QSize templateSize = CTemplateWidgets::PixelSize(DialogTemplate::Load(129));
        const QPoint ok = TemplatePos(129, IDC_BUTTON_OUTPUT_OK);

        QVERIFY(!client->isHidden() && serial->isHidden());
        QCOMPARE(client->pos(), TemplatePos(129, IDC_STATIC_PAGE_MARKER));
        QCOMPARE(d.size(), templateSize + QSize(0, client->height() + 10));
        QCOMPARE(d.Control(IDC_BUTTON_OUTPUT_OK)->pos(), ok + QPoint(0, client->height() + 10));
        dialog.OnRadioRS232();
        QVERIFY(client->isHidden() && !serial->isHidden());
        QCOMPARE(serial->pos(), TemplatePos(129, IDC_STATIC_PAGE_MARKER));
        QCOMPARE(d.size(), templateSize + QSize(0, serial->height() + 10));
        QCOMPARE(d.Control(IDC_BUTTON_OUTPUT_OK)->pos(), ok + QPoint(0, serial->height() + 10));
    }
};

QTEST_MAIN(OptionDialogsTest)
#include "tst_option_dialogs.moc"
