#include "ui/ClientPropertyDlg.h"

#include <QLineEdit>
#include <cstring>

#include "gui_qt/IpAddressCtrl.h"
#include "transport/SerialVocabulary.h"

namespace {
constexpr int kTemplateId = 135;
constexpr int IDC_IPADDRESS_REMOTE = 1047;
constexpr int IDC_EDIT_REMOTE_PORT = 1048;
}  // namespace

CClientPropertyDlg::CClientPropertyDlg(QWidget* parent) : CPropertyDlg(parent) {
    std::memset(&m_settings, 0, sizeof(m_settings));
}

void CClientPropertyDlg::SetProperty(const OptionRecord& source) {
    m_settings = GetClientSettings(source);
}

void CClientPropertyDlg::GetProperty(OptionRecord& destination) {
    if (auto* address = m_widgets.ControlAs<CIpAddressCtrl>(IDC_IPADDRESS_REMOTE)) {
        m_settings.remoteAddress = address->GetAddress();
    }
    if (auto* port = m_widgets.ControlAs<QLineEdit>(IDC_EDIT_REMOTE_PORT)) {
        m_settings.remotePort = ParseLikeStrToIntA(port->text().toLocal8Bit().toStdString());
    }
    // The whole slice goes back, so the reserved words travel through unchanged.
    SetClientSettings(destination, m_settings);
}

void CClientPropertyDlg::CreatePage(QWidget* parent) {
    setParent(parent);
    m_widgets.Build(DialogTemplate::Load(kTemplateId), this);
    hide();
    OnInitDialog();
}

bool CClientPropertyDlg::OnInitDialog() {
    m_widgets.ControlAs<QLineEdit>(IDC_EDIT_REMOTE_PORT)
        ->setText(QString::number(m_settings.remotePort));
    m_widgets.ControlAs<CIpAddressCtrl>(IDC_IPADDRESS_REMOTE)->SetAddress(m_settings.remoteAddress);
    return true;
}
