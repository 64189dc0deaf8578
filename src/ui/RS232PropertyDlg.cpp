#include "ui/RS232PropertyDlg.h"

#include <QComboBox>
#include <QLineEdit>
#include <cstring>

#include "transport/SerialVocabulary.h"
#include "ui/SerialLists.h"

namespace {
constexpr int kTemplateId = 136;
constexpr int IDC_COMBO_COM_PORT = 1016;
constexpr int IDC_COMBO_BAUD_RATE = 1027;
constexpr int IDC_COMBO_PARITY = 1028;
constexpr int IDC_EDIT_DATA_BITS = 1025;
constexpr int IDC_COMBO_STOP_BITS = 1029;

int ParseText(const QString& text) {
    return ParseLikeStrToIntA(text.toLocal8Bit().toStdString());
}
}  // namespace

CRS232PropertyDlg::CRS232PropertyDlg(QWidget* parent) : CPropertyDlg(parent) {
    std::memset(&m_settings, 0, sizeof(m_settings));
}

void CRS232PropertyDlg::SetProperty(const OptionRecord& source) {
    m_settings = GetSerialSettings(source);
}

void CRS232PropertyDlg::GetProperty(OptionRecord& destination) {
    auto* port = m_widgets.ControlAs<QComboBox>(IDC_COMBO_COM_PORT);
    auto* baud = m_widgets.ControlAs<QComboBox>(IDC_COMBO_BAUD_RATE);
    auto* parity = m_widgets.ControlAs<QComboBox>(IDC_COMBO_PARITY);
    auto* dataBits = m_widgets.ControlAs<QLineEdit>(IDC_EDIT_DATA_BITS);
    auto* stopBits = m_widgets.ControlAs<QComboBox>(IDC_COMBO_STOP_BITS);
    if (port != nullptr) {
        // An unselected list has no text, which reads as port 0.
        m_settings.outputComPort = ComPortNumberFromName(port->currentText().toStdString());
        m_settings.outputBaudRate = static_cast<uint32_t>(ParseText(baud->currentText()));
        m_settings.outputParity = ParityCodeFromText(parity, m_settings.outputParity);
        m_settings.outputDataBits = ParseText(dataBits->text());
        m_settings.outputStopBits = StopBitCodeFromText(stopBits, m_settings.outputStopBits);
    }
    // The whole slice goes back: input settings, capture folder and reserved bytes unchanged.
    SetSerialSettings(destination, m_settings);
}

void CRS232PropertyDlg::CreatePage(QWidget* parent) {
    setParent(parent);
    m_widgets.Build(DialogTemplate::Load(kTemplateId), this);
    hide();
    OnInitDialog();
}

bool CRS232PropertyDlg::OnInitDialog() {
    FillComPortList(m_widgets.ControlAs<QComboBox>(IDC_COMBO_COM_PORT), m_settings.outputComPort);
    FillBaudRateList(m_widgets.ControlAs<QComboBox>(IDC_COMBO_BAUD_RATE),
                     m_settings.outputBaudRate);
    FillParityList(m_widgets.ControlAs<QComboBox>(IDC_COMBO_PARITY), m_settings.outputParity);
    m_widgets.ControlAs<QLineEdit>(IDC_EDIT_DATA_BITS)
        ->setText(QString::number(m_settings.outputDataBits));
    FillStopBitList(m_widgets.ControlAs<QComboBox>(IDC_COMBO_STOP_BITS), m_settings.outputStopBits);
    return true;
}
