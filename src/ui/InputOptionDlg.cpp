#include "ui/InputOptionDlg.h"

#include <cstring>
#include <string>

#include "platform/Trace.h"
#include "transport/SerialVocabulary.h"
#include "ui/ControlIds.h"
#include "ui/SerialLists.h"

CInputOptionDlg::CInputOptionDlg(CViewFactory& factory)
    : COptionDialog(factory, IDD_INPUT_OPTION, IDC_BUTTON_INPUT_OK, IDC_BUTTON_INPUT_CANCEL) {}

void CInputOptionDlg::OnCommand(int nId) {
    if (nId == IDC_BUTTON_BROWSE) {
        OnButtonBrowse();
    } else {
        COptionDialog::OnCommand(nId);
    }
}

bool CInputOptionDlg::OnInitDialog() {
    InitControls();
    return true;
}

void CInputOptionDlg::InitControls() {
    CDialogView& view = *View();
    view.SetItemText(IDC_EDIT_CAPTURE_FOLDER, CaptureFolderText(m_optionOld));
    FillComPortList(view, IDC_COMBO_INPUT_COM_PORT, m_optionOld.inputComPort);
    FillBaudRateList(view, IDC_COMBO_INPUT_BAUD_RATE, m_optionOld.inputBaudRate);
    FillParityList(view, IDC_COMBO_INPUT_PARITY, m_optionOld.inputParity);
    view.SetItemText(IDC_EDIT_INPUT_DATA_BITS, std::to_string(m_optionOld.inputDataBits));
    FillStopBitList(view, IDC_COMBO_INPUT_STOP_BITS, m_optionOld.inputStopBits);
}

void CInputOptionDlg::OnButtonOk() {
    CDialogView& view = *View();
    int result = 1;

    // The folder edit only ever holds a folder that fits the record (the chooser refuses longer
    // ones), so storing it cannot fail; if it somehow did, the old folder stays.
    const std::string folder = view.GetItemText(IDC_EDIT_CAPTURE_FOLDER);
    if (!SetCaptureFolder(m_optionNew, folder.c_str())) {
        // %lu rather than %zu: the Windows C library's printf, which Trace is checked
        // against there, has no z.
        Trace("[%s][CInputOptionDlg::OnButtonOk] ERROR - capture folder too long (%lu)",
              kProgramName, static_cast<unsigned long>(folder.size()));
    }
    if (std::strncmp(m_optionNew.captureFolder, m_optionOld.captureFolder, kCaptureFolderSize) !=
        0) {
        result = 2;
    }

    m_optionNew.inputComPort = ComPortNumberFromName(view.GetItemText(IDC_COMBO_INPUT_COM_PORT));
    if (m_optionNew.inputComPort != m_optionOld.inputComPort) {
        result = 2;
    }

    m_optionNew.inputBaudRate =
        static_cast<uint32_t>(ParseLikeStrToIntA(view.GetItemText(IDC_COMBO_INPUT_BAUD_RATE)));
    if (m_optionNew.inputBaudRate != m_optionOld.inputBaudRate) {
        result = 2;
    }

    m_optionNew.inputParity =
        ParityCodeFromText(view.GetItemText(IDC_COMBO_INPUT_PARITY), m_optionNew.inputParity);
    if (m_optionNew.inputParity != m_optionOld.inputParity) {
        result = 2;
    }

    const std::string dataBitsText = view.GetItemText(IDC_EDIT_INPUT_DATA_BITS);
    const int dataBits = ParseLikeStrToIntA(dataBitsText);
    if (dataBits == 0 && dataBitsText != "0") {
        // What was read so far stays in the edited record; the next OK reads everything again.
        view.ShowMessageBox("Data bits is not correct", kProgramName, kMbOk);
        return;
    }
    m_optionNew.inputDataBits = dataBits;
    if (m_optionNew.inputDataBits != m_optionOld.inputDataBits) {
        result = 2;
    }

    m_optionNew.inputStopBits =
        StopBitCodeFromText(view.GetItemText(IDC_COMBO_INPUT_STOP_BITS), m_optionNew.inputStopBits);
    if (m_optionNew.inputStopBits != m_optionOld.inputStopBits) {
        result = 2;
    }

    EndDialog(result);
}

void CInputOptionDlg::OnButtonBrowse() {
    std::string chosen;
    if (!View()->ChooseFolder("Select Folder", chosen)) {
        return;
    }
    // The record holds 255 bytes and a NUL; a longer folder would be cut to some other folder
    // or spill into the next field, so it is refused and the current folder stays.
    if (chosen.size() >= kCaptureFolderSize) {
        View()->ShowMessageBox("The folder name is too long (at most 255 characters).",
                               kProgramName, kMbOk);
        return;
    }
    View()->SetItemText(IDC_EDIT_CAPTURE_FOLDER, chosen);
}
