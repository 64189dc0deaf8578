// The Input Option dialog as the user meets it: what each typed text stores, the data-bits
// check, the folder chooser, keys, and that everything not edited passes through unchanged.
// Before any Qt header: the pair has a field named like a Qt keyword macro.
#include "support/PtyPair.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <cstring>
#include <memory>

#include "TempHome.h"
#include "gui/support/OptionDialogHarness.h"
#include "options/OptionRecord.h"
#include "platform/SerialPort.h"
#include "ui/InputOptionDlg.h"

namespace {
using Dlg = CInputOptionDlg;

QLineEdit* Edit(const Dlg& dlg, int id) {
    return qobject_cast<QLineEdit*>(dlg.Control(id));
}
QComboBox* Combo(const Dlg& dlg, int id) {
    return qobject_cast<QComboBox*>(dlg.Control(id));
}
QPushButton* Button(const Dlg& dlg, int id) {
    return qobject_cast<QPushButton*>(dlg.Control(id));
}

bool SameRecord(const OptionRecord& a, const OptionRecord& b) {
    return std::memcmp(&a, &b, sizeof(OptionRecord)) == 0;
}
}  // namespace

class InputOptionTest : public QObject {
    Q_OBJECT
  private:
    std::unique_ptr<TempHome> m_home;
    std::unique_ptr<CPromptRecorder> m_prompts;
    OptionRecord m_record{};

    // Runs the dialog on m_record; on 2 the edited record replaces m_record, as the window does.
    int Run(const std::function<void(Dlg&)>& action) { return RunOnRecord<Dlg>(m_record, action); }

    // Types `text` into the editable field of combo `id` and presses OK.
    int TypeAndOk(int id, const QString& text) {
        return Run([id, text](Dlg& d) {
            Combo(d, id)->setEditText(text);
            Button(d, 1040)->click();
        });
    }

  private slots:
    void init() {
        m_home = std::make_unique<TempHome>();
        MakeAllComPortsAbsent();
        m_prompts = std::make_unique<CPromptRecorder>();
        m_record = MakeDefaultOptionRecord();
        // Reserved bytes carry a pattern so that any spill or loss shows.
        std::memset(m_record.serialReserved, 0x3C, sizeof(m_record.serialReserved));
        std::memset(m_record.tailReserved, 0xC3, sizeof(m_record.tailReserved));
    }
    void cleanup() {
        m_prompts.reset();
        m_home.reset();
    }

    void controlsShowTheStoredRecord() {
        Dlg dlg;
        dlg.SetOptionData(m_record);
        dlg.OnInitDialog();
        QCOMPARE(Edit(dlg, 1033)->text(), QString::fromStdString(CaptureFolderText(m_record)));
        QVERIFY(Edit(dlg, 1033)->isReadOnly());
        QCOMPARE(Combo(dlg, 1035)->currentText(), QStringLiteral("COM2"));
        QCOMPARE(Combo(dlg, 1036)->currentText(), QStringLiteral("9600"));
        QCOMPARE(Combo(dlg, 1037)->currentText(), QStringLiteral("NONE"));
        QCOMPARE(Edit(dlg, 1038)->text(), QStringLiteral("8"));
        QCOMPARE(Combo(dlg, 1039)->currentText(), QStringLiteral("1"));
        // The lists keep the program's order, not an alphabetical one.
        QCOMPARE(ComboItems(Combo(dlg, 1036)).mid(0, 5),
                 QStringList({"110", "300", "600", "1200", "2400"}));
        QCOMPARE(ComboItems(Combo(dlg, 1037)),
                 QStringList({"NONE", "ODD", "EVEN", "MARK", "SPACE"}));
        QCOMPARE(ComboItems(Combo(dlg, 1039)), QStringList({"1", "1.5", "2"}));
    }

    void okWithoutChangeEndsWith1() {
        QCOMPARE(Run([](Dlg& d) { Button(d, 1040)->click(); }), 1);
    }

    void evenParityChangesOnlyParity() {
        OptionRecord expected = m_record;
        expected.inputParity = 2;
        QCOMPARE(Run([](Dlg& d) {
                     Combo(d, 1037)->setCurrentIndex(2);
                     Button(d, 1040)->click();
                 }),
                 2);
        QVERIFY(SameRecord(m_record, expected));
    }

    void dataBitsText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("stored");
        QTest::addRow("zero") << QStringLiteral("0") << 0;
        QTest::addRow("digit then letter") << QStringLiteral("7x") << 7;
        QTest::addRow("no range check") << QStringLiteral("42") << 42;
    }
    void dataBitsText() {
        QFETCH(QString, text);
        QFETCH(int, stored);
        QCOMPARE(Run([text](Dlg& d) {
                     Edit(d, 1038)->setText(text);
                     Button(d, 1040)->click();
                 }),
                 2);
        QVERIFY(m_prompts->texts.isEmpty());
        QCOMPARE(m_record.inputDataBits, stored);
    }

    void unreadableDataBitsKeepDialogOpen() {
        OptionRecord edited{};
        QCOMPARE(Run([&](Dlg& d) {
                     Combo(d, 1035)->setEditText(QStringLiteral("COM7"));
                     Edit(d, 1038)->setText(QStringLiteral("abc"));
                     Combo(d, 1039)->setCurrentIndex(2);
                     Button(d, 1040)->click();
                     d.GetOptionData(edited);
                 }),
                 kStillOpen);
        QCOMPARE(m_prompts->texts, QStringList{QStringLiteral("Data bits is not correct")});
        QCOMPARE(m_prompts->captions, QStringList{QStringLiteral("Tillstream")});
        // Read before the data bits: kept. After them: not reached.
        QCOMPARE(edited.inputComPort, 7);
        QCOMPARE(edited.inputDataBits, 8);
        QCOMPARE(edited.inputStopBits, 0);

        // Mended and pressed again, every control is read afresh.
        QCOMPARE(Run([](Dlg& d) {
                     Combo(d, 1035)->setEditText(QStringLiteral("COM7"));
                     Edit(d, 1038)->setText(QStringLiteral("abc"));
                     Button(d, 1040)->click();
                     Edit(d, 1038)->setText(QStringLiteral("6"));
                     Button(d, 1040)->click();
                 }),
                 2);
        QCOMPARE(m_prompts->texts.size(), 2);
        QCOMPARE(m_record.inputComPort, 7);
        QCOMPARE(m_record.inputDataBits, 6);
    }

    void portTextIsReadAfterTheLastM_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("port");
        QTest::addRow("number") << QStringLiteral("5") << 5;
        QTest::addRow("COM5") << QStringLiteral("COM5") << 5;
        QTest::addRow("device name") << QStringLiteral("\\\\.\\COM15") << 15;
        QTest::addRow("no digits") << QStringLiteral("COM") << 0;
    }
    void portTextIsReadAfterTheLastM() {
        QFETCH(QString, text);
        QFETCH(int, port);
        QCOMPARE(TypeAndOk(1035, text), 2);
        QCOMPARE(m_record.inputComPort, port);
    }

    void baudTextIsParsedWithoutRangeCheck() {
        QCOMPARE(TypeAndOk(1036, QStringLiteral("abc")), 2);
        QCOMPARE(m_record.inputBaudRate, 0u);
        QCOMPARE(TypeAndOk(1036, QStringLiteral("31250")), 2);
        QCOMPARE(m_record.inputBaudRate, 31250u);
    }

    void parityAndStopBitsNeedAnExactName() {
        QCOMPARE(TypeAndOk(1037, QStringLiteral("even")), 1);
        QCOMPARE(TypeAndOk(1039, QStringLiteral("1.50")), 1);
        QCOMPARE(TypeAndOk(1039, QStringLiteral("1.5")), 2);
        QCOMPARE(m_record.inputStopBits, 1);
    }

    void storedValuesWithoutEntryShowEmpty() {
        m_record.inputBaudRate = 12345;
        m_record.inputParity = 9;
        m_record.inputStopBits = 5;
        QStringList shown;
        QCOMPARE(Run([&](Dlg& d) {
                     for (int id : {1036, 1037, 1039}) {
                         shown.append(Combo(d, id)->currentText());
                     }
                     Button(d, 1040)->click();
                 }),
                 2);
        QCOMPARE(shown, QStringList({"", "", ""}));
        QCOMPARE(m_record.inputBaudRate, 0u);
        QCOMPARE(m_record.inputParity, 9);
        QCOMPARE(m_record.inputStopBits, 5);
    }

    void chosenFolderIsStored() {
        const QString folder = QString::fromStdString(m_home->Path("captures"));
        m_prompts->folderAnswer = folder;
        OptionRecord expected = m_record;
        QVERIFY(SetCaptureFolder(expected, folder.toLocal8Bit().constData()));
        QCOMPARE(Run([](Dlg& d) {
                     Button(d, 1002)->click();
                     Button(d, 1040)->click();
                 }),
                 2);
        QCOMPARE(m_prompts->chooserTitles, QStringList{QStringLiteral("Select Folder")});
        QVERIFY(SameRecord(m_record, expected));
    }

    void cancelledChooserChangesNothing() {
        m_prompts->folderAnswer.clear();
        QCOMPARE(Run([](Dlg& d) {
                     Button(d, 1002)->click();
                     Button(d, 1040)->click();
                 }),
                 1);
        QCOMPARE(m_prompts->chooserTitles.size(), 1);
    }

    void folderTooLongForTheRecordIsRefused() {
        const std::string before = CaptureFolderText(m_record);
        m_prompts->folderAnswer = QStringLiteral("/") + QString(255, QLatin1Char('f'));
        QString shown;
        QCOMPARE(Run([&](Dlg& d) {
                     Button(d, 1002)->click();
                     shown = Edit(d, 1033)->text();
                     Button(d, 1040)->click();
                 }),
                 1);
        QCOMPARE(shown, QString::fromStdString(before));
        QCOMPARE(m_prompts->texts.size(), 1);
        QVERIFY(m_prompts->texts.first().contains(QStringLiteral("too long")));

        // 255 bytes is exactly what the record holds.
        m_prompts->folderAnswer = QStringLiteral("/") + QString(254, QLatin1Char('f'));
        QCOMPARE(Run([](Dlg& d) {
                     Button(d, 1002)->click();
                     Button(d, 1040)->click();
                 }),
                 2);
        QCOMPARE(CaptureFolderText(m_record).size(), 255u);
        QCOMPARE(m_record.serialReserved[0], static_cast<unsigned char>(0x3C));
    }

    void enterOnTheBrowseButtonRunsOk() {
        m_prompts->folderAnswer = QStringLiteral("/tmp/elsewhere");
        QCOMPARE(Run([](Dlg& d) {
                     Combo(d, 1037)->setCurrentIndex(1);
                     Button(d, 1002)->setFocus();
                     QTest::keyClick(Button(d, 1002), Qt::Key_Return);
                 }),
                 2);
        QVERIFY(m_prompts->chooserTitles.isEmpty());
        QCOMPARE(m_record.inputParity, 1);
    }

    void cancelEscapeAndCloseBoxEndWith0_data() {
        QTest::addColumn<int>("how");
        QTest::addRow("Cancel") << 0;
        QTest::addRow("Escape in a combo box") << 1;
        QTest::addRow("close box") << 2;
        QTest::addRow("Enter on the focused Cancel") << 3;
    }
    void cancelEscapeAndCloseBoxEndWith0() {
        QFETCH(int, how);
        const OptionRecord before = m_record;
        QCOMPARE(Run([how](Dlg& d) {
                     Combo(d, 1037)->setCurrentIndex(3);
                     Edit(d, 1038)->setText(QStringLiteral("5"));
                     if (how == 0) {
                         Button(d, 1041)->click();
                     } else if (how == 1) {
                         QTest::keyClick(Combo(d, 1036), Qt::Key_Escape);
                     } else if (how == 3) {
                         Button(d, 1041)->setFocus();
                         QTest::keyClick(Button(d, 1041), Qt::Key_Return);
                     } else {
                         d.close();
                     }
                 }),
                 0);
        QVERIFY(SameRecord(m_record, before));
    }

    void heldPortIsOfferedOnlyWhenConfigured() {
        PtyPair free4;
        PtyPair held6;
        QVERIFY(free4.IsOpen() && held6.IsOpen());
        free4.LinkAsComPort(4);
        held6.LinkAsComPort(6);
        CSerialPort other;
        QCOMPARE(other.Open(SerialDevicePath("COM6")), 0u);
        {
            Dlg dlg;
            dlg.SetOptionData(m_record);  // input port 2, absent
            dlg.OnInitDialog();
            QCOMPARE(ComboItems(Combo(dlg, 1035)), QStringList({"COM2", "COM4"}));
        }
        m_record.inputComPort = 6;
        Dlg dlg;
        dlg.SetOptionData(m_record);
        dlg.OnInitDialog();
        QCOMPARE(ComboItems(Combo(dlg, 1035)), QStringList({"COM4", "COM6"}));
        QCOMPARE(Combo(dlg, 1035)->currentText(), QStringLiteral("COM6"));
    }
};

QTEST_MAIN(InputOptionTest)
#include "tst_input_option.moc"
