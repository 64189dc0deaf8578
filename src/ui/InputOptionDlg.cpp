#include "ui/InputOptionDlg.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <cstring>
#include <string>

#include "gui_qt/UserPrompts.h"
#include "platform/Trace.h"
#include "transport/SerialVocabulary.h"
#include "ui/SerialLists.h"

namespace {
constexpr int kTemplateId = 130;
constexpr int IDC_EDIT_CAPTURE_FOLDER = 1033;
constexpr int IDC_BUTTON_BROWSE = 1002;
constexpr int IDC_COMBO_COM_PORT = 1035;
constexpr int IDC_COMBO_BAUD_RATE = 1036;
constexpr int IDC_COMBO_PARITY = 1037;
constexpr int IDC_EDIT_DATA_BITS = 1038;
constexpr int IDC_COMBO_STOP_BITS = 1039;
constexpr int IDC_BUTTON_OK = 1040;
constexpr int IDC_BUTTON_CANCEL = 1041;

std::string LocalText(const QString& text) {
    return text.toLocal8Bit().toStdString();
}
}  // namespace

CInputOptionDlg::CInputOptionDlg(QWidget* parent)
    : COptionDialog(kTemplateId, IDC_BUTTON_CANCEL, parent) {
    connect(m_widgets.ControlAs<QPushButton>(IDC_BUTTON_BROWSE), &QPushButton::clicked, this,
            &CInputOptionDlg::OnButtonBrowse);
    connect(m_widgets.ControlAs<QPushButton>(IDC_BUTTON_OK), &QPushButton::clicked, this,
            &CInputOptionDlg::OnButtonOk);
    connect(m_widgets.ControlAs<QPushButton>(IDC_BUTTON_CANCEL), &QPushButton::clicked, this,
            &CInputOptionDlg::OnButtonCancel);
}

bool CInputOptionDlg::OnInitDialog() {
    InitControls();
    return true;
}

void CInputOptionDlg::InitControls() {
    m_widgets.ControlAs<QLineEdit>(IDC_EDIT_CAPTURE_FOLDER)
        ->setText(QString::fromLocal8Bit(CaptureFolderText(m_optionOld)));
    FillComPortList(m_widgets.ControlAs<QComboBox>(IDC_COMBO_COM_PORT), m_optionOld.inputComPort);
    FillBaudRateList(m_widgets.ControlAs<QComboBox>(IDC_COMBO_BAUD_RATE),
                     m_optionOld.inputBaudRate);
    FillParityList(m_widgets.ControlAs<QComboBox>(IDC_COMBO_PARITY), m_optionOld.inputParity);
    m_widgets.ControlAs<QLineEdit>(IDC_EDIT_DATA_BITS)
        ->setText(QString::number(m_optionOld.inputDataBits));
    FillStopBitList(m_widgets.ControlAs<QComboBox>(IDC_COMBO_STOP_BITS), m_optionOld.inputStopBits);
}

void CInputOptionDlg::OnButtonOk() {
    int result = 1;

    // The folder edit only ever holds a folder that fits the record (the chooser refuses longer
    // ones), so storing it cannot fail; if it somehow did, the old folder stays.
    const std::string folder =
        LocalText(m_widgets.ControlAs<QLineEdit>(IDC_EDIT_CAPTURE_FOLDER)->text());
    if (!SetCaptureFolder(m_optionNew, folder.c_str())) {
        Trace("[%s][CInputOptionDlg::OnButtonOk] ERROR - capture folder too long (%zu)",
              kProgramName, folder.size());
    }
    if (std::strncmp(m_optionNew.captureFolder, m_optionOld.captureFolder, kCaptureFolderSize) !=
        0) {
        result = 2;
    }

    m_optionNew.inputComPort = ComPortNumberFromName(
        LocalText(m_widgets.ControlAs<QComboBox>(IDC_COMBO_COM_PORT)->currentText()));
    if (m_optionNew.inputComPort != m_optionOld.inputComPort) {
        result = 2;
    }

    m_optionNew.inputBaudRate = static_cast<uint32_t>(ParseLikeStrToIntA(
        LocalText(m_widgets.ControlAs<QComboBox>(IDC_COMBO_BAUD_RATE)->currentText())));
    if (m_optionNew.inputBaudRate != m_optionOld.inputBaudRate) {
        result = 2;
    }

    m_optionNew.inputParity = ParityCodeFromText(m_widgets.ControlAs<QComboBox>(IDC_COMBO_PARITY),
                                                 m_optionNew.inputParity);
    if (m_optionNew.inputParity != m_optionOld.inputParity) {
        result = 2;
    }

    const std::string dataBitsText =
        LocalText(m_widgets.ControlAs<QLineEdit>(IDC_EDIT_DATA_BITS)->text());
    const int dataBits = ParseLikeStrToIntA(dataBitsText);
    if (dataBits == 0 && dataBitsText != "0") {
        // What was read so far stays in the edited record; the next OK reads everything again.
        ShowMessageBox(this, QStringLiteral("Data bits is not correct"),
                       QString::fromLatin1(kProgramName));
        return;
    }
    m_optionNew.inputDataBits = dataBits;
    if (m_optionNew.inputDataBits != m_optionOld.inputDataBits) {
        result = 2;
    }

    m_optionNew.inputStopBits = StopBitCodeFromText(
        m_widgets.ControlAs<QComboBox>(IDC_COMBO_STOP_BITS), m_optionNew.inputStopBits);
    if (m_optionNew.inputStopBits != m_optionOld.inputStopBits) {
        result = 2;
    }

    done(result);
}

void CInputOptionDlg::OnButtonBrowse() {
    const QString chosen = ChooseFolder(this, QStringLiteral("Select Folder"));
    if (chosen.isEmpty()) {
        return;
    }
    // The record holds 255 bytes and a NUL; a longer folder would be cut to some other folder
    // or spill into the next field, so it is refused and the current folder stays.
    if (chosen.toLocal8Bit().size() >= static_cast<qsizetype>(kCaptureFolderSize)) {
        ShowMessageBox(this,
                       QStringLiteral("The folder name is too long (at most 255 characters)."),
                       QString::fromLatin1(kProgramName));
        return;
    }
    m_widgets.ControlAs<QLineEdit>(IDC_EDIT_CAPTURE_FOLDER)->setText(chosen);
}
