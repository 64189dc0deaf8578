#include "ui/ClientPropertyDlg.h"

#include <cstring>
#include <string>

#include "transport/SerialVocabulary.h"
#include "ui/ControlIds.h"

CClientPropertyDlg::CClientPropertyDlg() : CPropertyDlg(IDD_CLIENT_PROPERTY) {
    std::memset(&m_settings, 0, sizeof(m_settings));
}

void CClientPropertyDlg::SetProperty(const OptionRecord& source) {
    m_settings = GetClientSettings(source);
}

void CClientPropertyDlg::GetProperty(OptionRecord& destination) {
    if (CDialogView* view = View()) {
        m_settings.remoteAddress = view->GetAddress(IDC_IPADDRESS_REMOTE);
        m_settings.remotePort = ParseLikeStrToIntA(view->GetItemText(IDC_EDIT_REMOTE_PORT));
    }
    // The whole slice goes back, so the reserved words travel through unchanged.
    SetClientSettings(destination, m_settings);
}

bool CClientPropertyDlg::OnInitDialog() {
    View()->SetItemText(IDC_EDIT_REMOTE_PORT, std::to_string(m_settings.remotePort));
    View()->SetAddress(IDC_IPADDRESS_REMOTE, m_settings.remoteAddress);
    return true;
}
