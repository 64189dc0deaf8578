#include "ui/RS232PropertyDlg.h"

#include <cstring>
#include <string>

#include "transport/SerialVocabulary.h"
#include "ui/ControlIds.h"
#include "ui/SerialLists.h"

CRS232PropertyDlg::CRS232PropertyDlg() : CPropertyDlg(IDD_RS232_PROPERTY) {
    std::memset(&m_settings, 0, sizeof(m_settings));
}

void CRS232PropertyDlg::SetProperty(const OptionRecord& source) {
    m_settings = GetSerialSettings(source);
}

void CRS232PropertyDlg::GetProperty(OptionRecord& destination) {
    if (CDialogView* view = View()) {
        // An unselected list has no text, which reads as port 0.
        m_settings.outputComPort = ComPortNumberFromName(view->GetItemText(IDC_COMBO_COM_PORT));
        m_settings.outputBaudRate =
            static_cast<uint32_t>(ParseLikeStrToIntA(view->GetItemText(IDC_COMBO_BAUD_RATE)));
        m_settings.outputParity =
            ParityCodeFromText(view->GetItemText(IDC_COMBO_PARITY), m_settings.outputParity);
        m_settings.outputDataBits = ParseLikeStrToIntA(view->GetItemText(IDC_EDIT_DATA_BITS));
        m_settings.outputStopBits =
            StopBitCodeFromText(view->GetItemText(IDC_COMBO_STOP_BITS), m_settings.outputStopBits);
    }
    // The whole slice goes back: input settings, capture folder and reserved bytes unchanged.
    SetSerialSettings(destination, m_settings);
}

bool CRS232PropertyDlg::OnInitDialog() {
    CDialogView& view = *View();
    FillComPortList(view, IDC_COMBO_COM_PORT, m_settings.outputComPort);
    FillBaudRateList(view, IDC_COMBO_BAUD_RATE, m_settings.outputBaudRate);
    FillParityList(view, IDC_COMBO_PARITY, m_settings.outputParity);
    view.SetItemText(IDC_EDIT_DATA_BITS, std::to_string(m_settings.outputDataBits));
    FillStopBitList(view, IDC_COMBO_STOP_BITS, m_settings.outputStopBits);
    return true;
}
