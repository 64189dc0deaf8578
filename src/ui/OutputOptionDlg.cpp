#include "ui/OutputOptionDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <cstring>
#include <string>

#include "gui_qt/UserPrompts.h"
#include "platform/Trace.h"
#include "transport/SerialVocabulary.h"
#include "ui/ClientPropertyDlg.h"
#include "ui/RS232PropertyDlg.h"

namespace {
constexpr int kTemplateId = 129;
constexpr int IDC_CHECK_LOOP = 1015;
constexpr int IDC_EDIT_DELAY = 1018;
constexpr int IDC_RADIO_TCP_CLIENT = 1046;
constexpr int IDC_RADIO_UDP_CLIENT = 1049;
constexpr int IDC_RADIO_RS232 = 1043;
constexpr int IDC_BUTTON_OK = 1004;
constexpr int IDC_BUTTON_CANCEL = 1005;
constexpr int IDC_STATIC_PAGE_MARKER = 1056;

// Space kept between the bottom of a page and the OK and Cancel buttons.
constexpr int kPageGap = 10;

// A delay is a number of milliseconds in 32 bits. The edit takes digits only, but a pasted
// minus sign or a number too large for 32 bits would otherwise be stored as a wrapped-around
// value meaning some other, surprising delay; such texts are refused like any unreadable one.
bool IsDelayOutOfRange(const std::string& text) {
    if (!text.empty() && text.front() == '-') {
        return true;
    }
    uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            break;
        }
        value = value * 10U + static_cast<uint64_t>(c - '0');
        if (value > UINT32_MAX) {
            return true;
        }
    }
    return false;
}

bool SerialSettingsDiffer(const OptionRecord& a, const OptionRecord& b) {
    return a.outputComPort != b.outputComPort || a.outputBaudRate != b.outputBaudRate ||
           a.outputParity != b.outputParity || a.outputDataBits != b.outputDataBits ||
           a.outputStopBits != b.outputStopBits || a.inputComPort != b.inputComPort ||
           a.inputBaudRate != b.inputBaudRate || a.inputParity != b.inputParity ||
           a.inputDataBits != b.inputDataBits || a.inputStopBits != b.inputStopBits ||
           std::strncmp(a.captureFolder, b.captureFolder, kCaptureFolderSize) != 0 ||
           std::memcmp(a.serialReserved, b.serialReserved, sizeof(a.serialReserved)) != 0;
}

bool ClientSettingsDiffer(const OptionRecord& a, const OptionRecord& b) {
    return a.remoteAddress != b.remoteAddress || a.remotePort != b.remotePort ||
           std::memcmp(a.clientReserved, b.clientReserved, sizeof(a.clientReserved)) != 0;
}
}  // namespace

COutputOptionDlg::COutputOptionDlg(QWidget* parent)
    : COptionDialog(kTemplateId, IDC_BUTTON_CANCEL, parent) {
    connect(m_widgets.ControlAs<QPushButton>(IDC_BUTTON_OK), &QPushButton::clicked, this,
            &COutputOptionDlg::OnButtonOk);
    connect(m_widgets.ControlAs<QPushButton>(IDC_BUTTON_CANCEL), &QPushButton::clicked, this,
            &COutputOptionDlg::OnButtonCancel);
    connect(m_widgets.ControlAs<QRadioButton>(IDC_RADIO_TCP_CLIENT), &QRadioButton::clicked, this,
            &COutputOptionDlg::OnRadioTcpClient);
    connect(m_widgets.ControlAs<QRadioButton>(IDC_RADIO_UDP_CLIENT), &QRadioButton::clicked, this,
            &COutputOptionDlg::OnRadioUdpClient);
    connect(m_widgets.ControlAs<QRadioButton>(IDC_RADIO_RS232), &QRadioButton::clicked, this,
            &COutputOptionDlg::OnRadioRS232);
}

COutputOptionDlg::~COutputOptionDlg() {
    // The pages are child widgets and go with the dialog; the list only forgets them.
    m_pageList.clear();
}

bool COutputOptionDlg::OnInitDialog() {
    m_pClientPage = new CClientPropertyDlg();
    m_pClientPage->SetProperty(m_optionOld);
    m_pClientPage->CreatePage(this);
    m_pClientPage->hide();
    m_pageList.append(m_pClientPage);

    m_pRS232Page = new CRS232PropertyDlg();
    m_pRS232Page->SetProperty(m_optionOld);
    m_pRS232Page->CreatePage(this);
    m_pRS232Page->hide();
    m_pageList.append(m_pRS232Page);

    // Tab runs from the interface choice through the shown page to OK and Cancel; the hidden
    // page's controls are skipped by the focus chain.
    QWidget* previous = m_widgets.Control(IDC_RADIO_RS232);
    for (QWidget* control :
         {m_pClientPage->Control(1047), m_pClientPage->Control(1048), m_pRS232Page->Control(1016),
          m_pRS232Page->Control(1027), m_pRS232Page->Control(1028), m_pRS232Page->Control(1025),
          m_pRS232Page->Control(1029), m_widgets.Control(IDC_BUTTON_OK),
          m_widgets.Control(IDC_BUTTON_CANCEL)}) {
        setTabOrder(previous, control);
        previous = control;
    }

    m_rcInitial = geometry();
    InitControls();
    return true;
}

void COutputOptionDlg::InitControls() {
    m_widgets.ControlAs<QLineEdit>(IDC_EDIT_DELAY)->setText(QString::number(m_optionOld.delayMs));
    if (m_optionOld.loopEnabled != 0) {
        m_widgets.ControlAs<QCheckBox>(IDC_CHECK_LOOP)->setChecked(true);
    }
    HideAllPages();
    switch (m_optionOld.outputInterface) {
        case kInterfaceRs232:
            m_widgets.ControlAs<QRadioButton>(IDC_RADIO_RS232)->setChecked(true);
            ShowPage(m_pRS232Page);
            break;
        case kInterfaceTcpClient:
            m_widgets.ControlAs<QRadioButton>(IDC_RADIO_TCP_CLIENT)->setChecked(true);
            ShowPage(m_pClientPage);
            break;
        case kInterfaceUdpClient:
            m_widgets.ControlAs<QRadioButton>(IDC_RADIO_UDP_CLIENT)->setChecked(true);
            ShowPage(m_pClientPage);
            break;
        default:
            // An interface the program does not know: nothing is chosen and the dialog keeps
            // its template size until the user picks one.
            break;
    }
}

void COutputOptionDlg::OnButtonOk() {
    int result = 1;

    m_optionNew.loopEnabled = m_widgets.ControlAs<QCheckBox>(IDC_CHECK_LOOP)->isChecked() ? 1 : 0;
    if (m_optionNew.loopEnabled != m_optionOld.loopEnabled) {
        result = 2;
    }

    const std::string delayText =
        m_widgets.ControlAs<QLineEdit>(IDC_EDIT_DELAY)->text().toLocal8Bit().toStdString();
    const int delay = ParseLikeStrToIntA(delayText);
    if ((delayText != "0" && delay == 0) || IsDelayOutOfRange(delayText)) {
        ShowMessageBox(this, QStringLiteral("Delay Time Data is not correct!"),
                       QString::fromLatin1(kProgramName));
        return;
    }
    m_optionNew.delayMs = static_cast<uint32_t>(delay);
    if (m_optionNew.delayMs != m_optionOld.delayMs) {
        result = 2;
    }

    if (m_optionNew.outputInterface != m_optionOld.outputInterface) {
        result = 2;
    }

    // Only the page of the chosen interface is read; edits on the other page are dropped.
    switch (static_cast<uint32_t>(m_optionNew.outputInterface)) {
        case kInterfaceTcpClient:
        case kInterfaceUdpClient:
            m_pClientPage->GetProperty(m_optionNew);
            if (ClientSettingsDiffer(m_optionNew, m_optionOld)) {
                result = 2;
            }
            break;
        case kInterfaceRs232:
            m_pRS232Page->GetProperty(m_optionNew);
            if (SerialSettingsDiffer(m_optionNew, m_optionOld)) {
                result = 2;
            }
            break;
        default:
            break;
    }
    done(result);
}

void COutputOptionDlg::OnRadioTcpClient() {
    m_optionNew.outputInterface = kInterfaceTcpClient;
    HideAllPages();
    ShowPage(m_pClientPage);
}

void COutputOptionDlg::OnRadioUdpClient() {
    m_optionNew.outputInterface = kInterfaceUdpClient;
    HideAllPages();
    ShowPage(m_pClientPage);
}

void COutputOptionDlg::OnRadioRS232() {
    m_optionNew.outputInterface = kInterfaceRs232;
    HideAllPages();
    ShowPage(m_pRS232Page);
}

void COutputOptionDlg::HideAllPages() {
    for (CPropertyDlg* page : m_pageList) {
        page->hide();
    }
}

void COutputOptionDlg::ShowPage(CPropertyDlg* pPage) {
    if (pPage == nullptr) {
        return;
    }
    QWidget* ok = m_widgets.Control(IDC_BUTTON_OK);
    QWidget* cancel = m_widgets.Control(IDC_BUTTON_CANCEL);
    // Back to the template position first, so that switching pages never adds up shifts.
    if (m_nButtonShift != 0) {
        MoveControlBy(ok, -m_nButtonShift);
        MoveControlBy(cancel, -m_nButtonShift);
    }
    const QPoint marker = m_widgets.Control(IDC_STATIC_PAGE_MARKER)->pos();
    const int pageHeight = pPage->height();

    setFixedSize(m_rcInitial.width(), m_rcInitial.height() + pageHeight + kPageGap);
    MoveControlBy(ok, pageHeight + kPageGap);
    MoveControlBy(cancel, pageHeight + kPageGap);
    m_nButtonShift = pageHeight + kPageGap;

    pPage->move(marker);
    pPage->show();
}

void COutputOptionDlg::MoveControlBy(QWidget* pControl, int nDistance) {
    pControl->move(pControl->x(), pControl->y() + nDistance);
}
