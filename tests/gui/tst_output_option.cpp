// The Output Option dialog as the user meets it: results, delay checks, the two pages, the
// layout rule, keys, and the port list built from real pseudo-terminals.
// Before any Qt header: the pair has a field named like a Qt keyword macro.
#include "support/PtyPair.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <cstring>
#include <memory>

#include "TempHome.h"
#include "gui/support/OptionDialogHarness.h"
#include "gui_qt/IpAddressCtrl.h"
#include "gui_qt/TemplateWidgets.h"
#include "options/OptionRecord.h"
#include "platform/SerialPort.h"
#include "ui/ClientPropertyDlg.h"
#include "ui/DialogTemplate.h"
#include "ui/OutputOptionDlg.h"
#include "ui/RS232PropertyDlg.h"

namespace {
using Dlg = COutputOptionDlg;

QLineEdit* DelayEdit(const Dlg& dlg) {
    return qobject_cast<QLineEdit*>(dlg.Control(1018));
}
QCheckBox* LoopCheck(const Dlg& dlg) {
    return qobject_cast<QCheckBox*>(dlg.Control(1015));
}
QRadioButton* Radio(const Dlg& dlg, int id) {
    return qobject_cast<QRadioButton*>(dlg.Control(id));
}
QPushButton* Button(const Dlg& dlg, int id) {
    return qobject_cast<QPushButton*>(dlg.Control(id));
}
CIpAddressCtrl* AddressCtrl(const Dlg& dlg) {
    return qobject_cast<CIpAddressCtrl*>(dlg.ClientPage()->Control(1047));
}
QLineEdit* PortEdit(const Dlg& dlg) {
    return qobject_cast<QLineEdit*>(dlg.ClientPage()->Control(1048));
}
QComboBox* PageList(const Dlg& dlg, int id) {
    return qobject_cast<QComboBox*>(dlg.RS232Page()->Control(id));
}

// Pixel size of a template, computed from its font the way every window is laid out.
QSize TemplatePixels(int templateId) {
    return CTemplateWidgets::PixelSize(DialogTemplate::Load(templateId));
}
QPoint TemplateControlPos(int templateId, int controlId) {
    const DialogTemplate dialogTemplate = DialogTemplate::Load(templateId);
    return CTemplateWidgets::PixelRect(dialogTemplate, dialogTemplate.Control(controlId)->rect)
        .topLeft();
}

bool SameRecord(const OptionRecord& a, const OptionRecord& b) {
    return std::memcmp(&a, &b, sizeof(OptionRecord)) == 0;
}
}  // namespace

class OutputOptionTest : public QObject {
    Q_OBJECT
  private:
    std::unique_ptr<TempHome> m_home;
    std::unique_ptr<CPromptRecorder> m_prompts;
    OptionRecord m_record{};

    // Runs the dialog on m_record; on 2 the edited record replaces m_record, as the window does.
    int Run(const std::function<void(Dlg&)>& action) { return RunOnRecord<Dlg>(m_record, action); }

  private slots:
    void init() {
        m_home = std::make_unique<TempHome>();
        MakeAllComPortsAbsent();
        m_prompts = std::make_unique<CPromptRecorder>();
        m_record = MakeDefaultOptionRecord();
    }
    void cleanup() {
        m_prompts.reset();
        m_home.reset();
    }

    void okWithoutChangeEndsWith1_data() {
        QTest::addColumn<int>("outputInterface");
        QTest::addRow("TCP Client") << kInterfaceTcpClient;
        QTest::addRow("UDP Client") << kInterfaceUdpClient;
        QTest::addRow("RS-232") << kInterfaceRs232;
    }
    void okWithoutChangeEndsWith1() {
        QFETCH(int, outputInterface);
        m_record.outputInterface = outputInterface;
        Dlg dlg;
        dlg.SetOptionData(m_record);
        QCOMPARE(RunModal<Dlg>(dlg, [](Dlg& d) { Button(d, 1004)->click(); }), 1);
        OptionRecord back{};
        dlg.GetOptionData(back);
        QVERIFY(SameRecord(back, m_record));
    }

    void loopIsNormalisedAndToggleBackIsNoChange() {
        m_record.loopEnabled = 5;
        bool shownTicked = false;
        QCOMPARE(Run([&](Dlg& d) {
                     shownTicked = LoopCheck(d)->isChecked();
                     Button(d, 1004)->click();
                 }),
                 2);
        QVERIFY(shownTicked);
        QCOMPARE(m_record.loopEnabled, 1);

        QCOMPARE(Run([](Dlg& d) {
                     LoopCheck(d)->click();
                     LoopCheck(d)->click();
                     Button(d, 1004)->click();
                 }),
                 1);
    }

    void delayChangeEndsWith2() {
        QCOMPARE(m_record.delayMs, 500u);
        QCOMPARE(Run([](Dlg& d) {
                     QCOMPARE(DelayEdit(d)->text(), QStringLiteral("500"));
                     DelayEdit(d)->setText(QStringLiteral("1000"));
                     Button(d, 1004)->click();
                 }),
                 2);
        QCOMPARE(m_record.delayMs, 1000u);
    }

    void unreadableDelayKeepsDialogOpen_data() {
        QTest::addColumn<QString>("text");
        QTest::addRow("empty") << QString();
        QTest::addRow("00") << QStringLiteral("00");
        QTest::addRow("letters") << QStringLiteral("abc");
        QTest::addRow("leading space") << QStringLiteral(" 5");
        QTest::addRow("minus") << QStringLiteral("-5");
        QTest::addRow("minus zero") << QStringLiteral("-0");
        QTest::addRow("just over 32 bits") << QStringLiteral("4294967296");
        QTest::addRow("far over 32 bits") << QStringLiteral("99999999999999999999");
    }
    void unreadableDelayKeepsDialogOpen() {
        QFETCH(QString, text);
        const OptionRecord before = m_record;
        QCOMPARE(Run([&](Dlg& d) {
                     DelayEdit(d)->setText(text);
                     Button(d, 1004)->click();
                 }),
                 kStillOpen);
        QCOMPARE(m_prompts->texts, QStringList{QStringLiteral("Delay Time Data is not correct!")});
        QCOMPARE(m_prompts->captions, QStringList{QStringLiteral("Tillstream")});
        QVERIFY(SameRecord(m_record, before));
    }

    void readableDelayIsTakenAsParsed_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<uint>("delay");
        QTest::addRow("zero") << QStringLiteral("0") << 0u;
        QTest::addRow("digits then letters") << QStringLiteral("250abc") << 250u;
        QTest::addRow("largest 32-bit") << QStringLiteral("4294967295") << 4294967295u;
    }
    void readableDelayIsTakenAsParsed() {
        QFETCH(QString, text);
        QFETCH(uint, delay);
        QCOMPARE(Run([&](Dlg& d) {
                     DelayEdit(d)->setText(text);
                     Button(d, 1004)->click();
                 }),
                 2);
        QVERIFY(m_prompts->texts.isEmpty());
        QCOMPARE(m_record.delayMs, delay);
    }

    void tcpToUdpKeepsTheSamePage() {
        m_record.remoteAddress = 0x0A000001;  // 10.0.0.1
        m_record.remotePort = 9100;
        bool samePage = false;
        QCOMPARE(Run([&](Dlg& d) {
                     QWidget* before = d.ClientPage();
                     Radio(d, 1049)->click();
                     samePage = d.ClientPage() == before && !d.ClientPage()->isHidden() &&
                                d.RS232Page()->isHidden() &&
                                AddressCtrl(d)->GetAddress() == 0x0A000001 &&
                                PortEdit(d)->text() == QStringLiteral("9100");
                     Button(d, 1004)->click();
                 }),
                 2);
        QVERIFY(samePage);
        QCOMPARE(m_record.outputInterface, kInterfaceUdpClient);
        QCOMPARE(m_record.remoteAddress, 0x0A000001u);
        QCOMPARE(m_record.remotePort, 9100);
    }

    void clientPageIsReadBackWholeSlice() {
        std::memset(m_record.clientReserved, 0x5A, sizeof(m_record.clientReserved));
        OptionRecord expected = m_record;
        expected.remoteAddress = 0xC0A80000;  // 192.168.0.0: the blank last field reads as 0
        expected.remotePort = 4001;
        QCOMPARE(Run([](Dlg& d) {
                     CIpAddressCtrl* address = AddressCtrl(d);
                     address->Field(0)->setText(QStringLiteral("192"));
                     address->Field(1)->setText(QStringLiteral("168"));
                     address->Field(2)->setText(QStringLiteral("0"));
                     address->Field(3)->clear();
                     PortEdit(d)->setText(QStringLiteral("4001"));
                     Button(d, 1004)->click();
                 }),
                 2);
        QVERIFY(SameRecord(m_record, expected));
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
        QCOMPARE(Run([&](Dlg& d) {
                     if (!QTest::qWaitForWindowActive(&d)) {
                         return;
                     }
                     CIpAddressCtrl* address = AddressCtrl(d);
                     address->Field(0)->setFocus(Qt::TabFocusReason);
                     QTest::keyClicks(nullptr, typed);  // each key to the field with the focus
                     for (int i = 0; i < 4; ++i) {
                         fields << address->Field(i)->text();
                     }
                     Button(d, 1004)->click();
                 }),
                 2);
        QCOMPARE(fields, shown);
        QCOMPARE(m_record.remoteAddress, stored);
    }

    void otherPageEditsAreDropped() {
        m_record.remoteAddress = 0x0A000001;
        QCOMPARE(Run([](Dlg& d) {
                     AddressCtrl(d)->Field(0)->setText(QStringLiteral("172"));
                     PortEdit(d)->setText(QStringLiteral("77"));
                     Radio(d, 1043)->click();
                     Button(d, 1004)->click();
                 }),
                 2);
        QCOMPARE(m_record.outputInterface, kInterfaceRs232);
        QCOMPARE(m_record.remoteAddress, 0x0A000001u);
        QCOMPARE(m_record.remotePort, 0);
    }

    void cancelEscapeAndCloseBoxEndWith0_data() {
        QTest::addColumn<int>("how");
        QTest::addRow("Cancel") << 0;
        QTest::addRow("Escape in the delay edit") << 1;
        QTest::addRow("Escape on a page") << 2;
        QTest::addRow("close box") << 3;
        QTest::addRow("Enter on the focused Cancel") << 4;
    }
    void cancelEscapeAndCloseBoxEndWith0() {
        QFETCH(int, how);
        const OptionRecord before = m_record;
        QCOMPARE(Run([how](Dlg& d) {
                     DelayEdit(d)->setText(QStringLiteral("1234"));
                     AddressCtrl(d)->Field(0)->setText(QStringLiteral("1"));
                     Radio(d, 1043)->click();
                     switch (how) {
                         case 0:
                             Button(d, 1005)->click();
                             break;
                         case 1:
                             QTest::keyClick(DelayEdit(d), Qt::Key_Escape);
                             break;
                         case 2:
                             QTest::keyClick(d.RS232Page()->Control(1025), Qt::Key_Escape);
                             break;
                         case 4:
                             Button(d, 1005)->setFocus();
                             QTest::keyClick(Button(d, 1005), Qt::Key_Return);
                             break;
                         default:
                             d.close();
                             break;
                     }
                 }),
                 0);
        QVERIFY(SameRecord(m_record, before));
    }

    void enterActsAsOkWhereverTheFocusIs_data() {
        QTest::addColumn<int>("where");
        QTest::addRow("delay edit") << 0;
        QTest::addRow("port edit on the page") << 1;
        QTest::addRow("address field") << 2;
        QTest::addRow("OK button") << 3;
    }
    void enterActsAsOkWhereverTheFocusIs() {
        QFETCH(int, where);
        QCOMPARE(Run([where](Dlg& d) {
                     DelayEdit(d)->setText(QStringLiteral("1000"));
                     QWidget* target = DelayEdit(d);
                     if (where == 1) {
                         target = PortEdit(d);
                     } else if (where == 2) {
                         target = AddressCtrl(d)->Field(2);
                     } else if (where == 3) {
                         target = Button(d, 1004);
                     }
                     target->setFocus();
                     QTest::keyClick(target, Qt::Key_Return);
                 }),
                 2);
        QCOMPARE(m_record.delayMs, 1000u);
    }

    void tabRunsThroughTheShownPageBeforeOk() {
        QStringList visited;
        QCOMPARE(Run([&](Dlg& d) {
                     if (!QTest::qWaitForWindowActive(&d)) {
                         return;
                     }
                     DelayEdit(d)->setFocus();
                     for (int step = 0; step < 12; ++step) {
                         QWidget* focus = QApplication::focusWidget();
                         if (focus == nullptr || focus == Button(d, 1004)) {
                             break;
                         }
                         QTest::keyClick(focus, Qt::Key_Tab);
                         focus = QApplication::focusWidget();
                         visited.append(focus != nullptr ? focus->objectName() : QString());
                     }
                     Button(d, 1005)->click();
                 }),
                 0);
        QVERIFY2(visited.contains(QStringLiteral("control_1048")), qPrintable(visited.join(',')));
        QCOMPARE(visited.last(), QStringLiteral("control_1004"));
        QVERIFY(!visited.contains(QStringLiteral("control_1016")));  // the hidden page
    }

    void pageHangsUnderTheInterfaceGroup() {
        Dlg dlg;
        dlg.SetOptionData(m_record);
        dlg.OnInitDialog();
        const QSize templateSize = TemplatePixels(129);
        const QPoint okAtTemplate = TemplateControlPos(129, 1004);
        const QPoint cancelAtTemplate = TemplateControlPos(129, 1005);
        CClientPropertyDlg* client = dlg.ClientPage();
        CRS232PropertyDlg* serial = dlg.RS232Page();
        QCOMPARE(client->size(), TemplatePixels(135));
        QCOMPARE(serial->size(), TemplatePixels(136));

        QVERIFY(!client->isHidden() && serial->isHidden());
        QCOMPARE(client->pos(), TemplateControlPos(129, 1056));
        QCOMPARE(dlg.width(), templateSize.width());
        QCOMPARE(dlg.height(), templateSize.height() + client->height() + 10);
        const QPoint okWithClient = Button(dlg, 1004)->pos();
        const QPoint cancelWithClient = Button(dlg, 1005)->pos();
        QCOMPARE(okWithClient, okAtTemplate + QPoint(0, client->height() + 10));
        QCOMPARE(cancelWithClient, cancelAtTemplate + QPoint(0, client->height() + 10));

        dlg.OnRadioRS232();
        QVERIFY(client->isHidden() && !serial->isHidden());
        QCOMPARE(serial->pos(), TemplateControlPos(129, 1056));
        QCOMPARE(dlg.height(), templateSize.height() + serial->height() + 10);
        QCOMPARE(Button(dlg, 1004)->pos(), okAtTemplate + QPoint(0, serial->height() + 10));

        dlg.OnRadioTcpClient();
        dlg.OnRadioUdpClient();
        QCOMPARE(Button(dlg, 1004)->pos(), okWithClient);
        QCOMPARE(Button(dlg, 1005)->pos(), cancelWithClient);
        QCOMPARE(dlg.height(), templateSize.height() + client->height() + 10);
    }

    void unknownInterfaceShowsNoPage() {
        m_record.outputInterface = 7;
        {
            Dlg dlg;
            dlg.SetOptionData(m_record);
            dlg.OnInitDialog();
            QCOMPARE(dlg.size(), TemplatePixels(129));
            QCOMPARE(Button(dlg, 1004)->pos(), TemplateControlPos(129, 1004));
            QCOMPARE(Button(dlg, 1005)->pos(), TemplateControlPos(129, 1005));
            QVERIFY(dlg.ClientPage()->isHidden() && dlg.RS232Page()->isHidden());
            for (int id : {1046, 1049, 1043}) {
                QVERIFY(!Radio(dlg, id)->isChecked());
            }
        }
        QCOMPARE(Run([](Dlg& d) { Button(d, 1004)->click(); }), 1);
        QCOMPARE(Run([](Dlg& d) {
                     Radio(d, 1046)->click();
                     Button(d, 1004)->click();
                 }),
                 2);
        QCOMPARE(m_record.outputInterface, kInterfaceTcpClient);
    }

    void serialPageOffersTheVocabularyInOrder() {
        m_record.outputInterface = kInterfaceRs232;
        Dlg dlg;
        dlg.SetOptionData(m_record);
        dlg.OnInitDialog();
        QStringList rates;
        for (const char* rate :
             {"110", "300", "600", "1200", "2400", "4800", "9600", "14400", "19200", "38400",
              "56000", "57600", "115200", "128000", "256000"}) {
            rates.append(QLatin1String(rate));
        }
        QCOMPARE(ComboItems(PageList(dlg, 1027)), rates);
        QCOMPARE(PageList(dlg, 1027)->currentText(), QStringLiteral("9600"));
        QCOMPARE(ComboItems(PageList(dlg, 1028)),
                 QStringList({"NONE", "ODD", "EVEN", "MARK", "SPACE"}));
        QCOMPARE(ComboItems(PageList(dlg, 1029)), QStringList({"1", "1.5", "2"}));
        QCOMPARE(qobject_cast<QLineEdit*>(dlg.RS232Page()->Control(1025))->text(),
                 QStringLiteral("8"));
    }

    void serialPageIsReadBackWholeSlice() {
        m_record.outputInterface = kInterfaceRs232;
        std::memset(m_record.serialReserved, 0xA5, sizeof(m_record.serialReserved));
        m_record.inputBaudRate = 12345;
        OptionRecord expected = m_record;
        expected.outputBaudRate = 115200;
        expected.outputParity = 2;
        expected.outputDataBits = 7;
        expected.outputStopBits = 2;
        QCOMPARE(Run([](Dlg& d) {
                     PageList(d, 1027)->setCurrentText(QStringLiteral("115200"));
                     PageList(d, 1028)->setCurrentText(QStringLiteral("EVEN"));
                     qobject_cast<QLineEdit*>(d.RS232Page()->Control(1025))
                         ->setText(QStringLiteral("7"));
                     PageList(d, 1029)->setCurrentText(QStringLiteral("2"));
                     Button(d, 1004)->click();
                 }),
                 2);
        QVERIFY(SameRecord(m_record, expected));
    }

    void storedValuesWithoutEntryAreLeftUnselected() {
        m_record.outputInterface = kInterfaceRs232;
        m_record.outputComPort = 40;
        m_record.outputBaudRate = 12345;
        m_record.outputParity = 9;
        m_record.outputStopBits = 7;
        bool noneSelected = false;
        QCOMPARE(Run([&](Dlg& d) {
                     noneSelected = true;
                     for (int id : {1016, 1027, 1028, 1029}) {
                         noneSelected = noneSelected && PageList(d, id)->currentIndex() == -1;
                     }
                     Button(d, 1004)->click();
                 }),
                 2);
        QVERIFY(noneSelected);
        QCOMPARE(m_record.outputComPort, 0);
        QCOMPARE(m_record.outputBaudRate, 0u);
        QCOMPARE(m_record.outputParity, 9);
        QCOMPARE(m_record.outputStopBits, 7);
    }

    void absentConfiguredPortIsStillOffered() {
        m_record.outputInterface = kInterfaceRs232;
        m_record.outputComPort = 12;
        QStringList items;
        QString selected;
        QCOMPARE(Run([&](Dlg& d) {
                     items = ComboItems(PageList(d, 1016));
                     selected = PageList(d, 1016)->currentText();
                     Button(d, 1004)->click();
                 }),
                 1);
        QCOMPARE(items, QStringList{QStringLiteral("\\\\.\\COM12")});
        QCOMPARE(selected, QStringLiteral("\\\\.\\COM12"));

        // With nothing present and port 1 configured, port 1 is all there is.
        m_record.outputComPort = 1;
        Dlg dlg;
        dlg.SetOptionData(m_record);
        dlg.OnInitDialog();
        QCOMPARE(ComboItems(PageList(dlg, 1016)), QStringList{QStringLiteral("COM1")});
    }

    void presentPortsAreOfferedAndHeldOnesAreNot() {
        PtyPair free3;
        PtyPair held5;
        PtyPair free14;
        QVERIFY(free3.IsOpen() && held5.IsOpen() && free14.IsOpen());
        free3.LinkAsComPort(3);
        held5.LinkAsComPort(5);
        free14.LinkAsComPort(14);
        CSerialPort other;  // another program holding port 5
        QCOMPARE(other.Open(SerialDevicePath("COM5")), 0u);

        m_record.outputInterface = kInterfaceRs232;
        m_record.outputComPort = 1;
        {
            Dlg dlg;
            dlg.SetOptionData(m_record);
            dlg.OnInitDialog();
            QCOMPARE(ComboItems(PageList(dlg, 1016)),
                     QStringList({"COM1", "COM3", "\\\\.\\COM14"}));
            QCOMPARE(PageList(dlg, 1016)->currentIndex(), 0);
        }
        // The configured port is offered even while someone else holds it.
        m_record.outputComPort = 5;
        QStringList items;
        QCOMPARE(Run([&](Dlg& d) {
                     items = ComboItems(PageList(d, 1016));
                     PageList(d, 1016)->setCurrentText(QStringLiteral("\\\\.\\COM14"));
                     Button(d, 1004)->click();
                 }),
                 2);
        QCOMPARE(items, QStringList({"COM3", "COM5", "\\\\.\\COM14"}));
        QCOMPARE(m_record.outputComPort, 14);
    }
};

QTEST_MAIN(OutputOptionTest)
#include "tst_output_option.moc"
