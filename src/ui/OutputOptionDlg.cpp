#include "ui/OutputOptionDlg.h"

#include <cstring>
#include <string>

#include "platform/Trace.h"
#include "transport/SerialVocabulary.h"
#include "ui/ClientPropertyDlg.h"
#include "ui/ControlIds.h"
#include "ui/RS232PropertyDlg.h"

namespace {
// Space kept between the bottom of a page and the OK and Cancel buttons, in pixels.
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

COutputOptionDlg::COutputOptionDlg(CViewFactory& factory)
    : COptionDialog(factory, IDD_OUTPUT_OPTION, IDC_BUTTON_OUTPUT_OK, IDC_BUTTON_OUTPUT_CANCEL) {}

COutputOptionDlg::~COutputOptionDlg() {
    OnDestroy();
}

void COutputOptionDlg::OnCommand(int nId) {
    switch (nId) {
        case IDC_RADIO_TCP_CLIENT:
            OnRadioTcpClient();
            break;
        case IDC_RADIO_UDP_CLIENT:
            OnRadioUdpClient();
            break;
        case IDC_RADIO_RS232:
            OnRadioRS232();
            break;
        default:
            COptionDialog::OnCommand(nId);
            break;
    }
}

bool COutputOptionDlg::OnInitDialog() {
    // The pages' controls come after the interface choice in the tab order, before OK.
    m_pClientPage = std::make_unique<CClientPropertyDlg>();
    m_pClientPage->SetProperty(m_optionOld);
    m_pClientPage->CreatePage(Factory(), *View(), IDC_RADIO_RS232);
    m_pageList.push_back(m_pClientPage.get());

    m_pRS232Page = std::make_unique<CRS232PropertyDlg>();
    m_pRS232Page->SetProperty(m_optionOld);
    m_pRS232Page->CreatePage(Factory(), *View(), IDC_RADIO_RS232);
    m_pageList.push_back(m_pRS232Page.get());

    m_rcInitial = View()->GetWindowRect();
    InitControls();
    return true;
}

void COutputOptionDlg::OnDestroy() {
    // The pages' windows go before the dialog's.
    for (CPropertyDlg* page : m_pageList) {
        page->DestroyPage();
    }
    m_pageList.clear();
}

void COutputOptionDlg::InitControls() {
    CDialogView& view = *View();
    view.SetItemText(IDC_EDIT_DELAY, std::to_string(m_optionOld.delayMs));
    if (m_optionOld.loopEnabled != 0) {
        view.CheckItem(IDC_CHECK_LOOP, true);
    }
    HideAllPages();
    switch (m_optionOld.outputInterface) {
        case kInterfaceRs232:
            view.CheckItem(IDC_RADIO_RS232, true);
            ShowPage(m_pRS232Page.get());
            break;
        case kInterfaceTcpClient:
            view.CheckItem(IDC_RADIO_TCP_CLIENT, true);
            ShowPage(m_pClientPage.get());
            break;
        case kInterfaceUdpClient:
            view.CheckItem(IDC_RADIO_UDP_CLIENT, true);
            ShowPage(m_pClientPage.get());
            break;
        default:
            // An interface the program does not know: nothing is chosen and the dialog keeps
            // its template size until the user picks one.
            break;
    }
}

void COutputOptionDlg::OnButtonOk() {
    CDialogView& view = *View();
    int result = 1;

    m_optionNew.loopEnabled = view.IsItemChecked(IDC_CHECK_LOOP) ? 1 : 0;
    if (m_optionNew.loopEnabled != m_optionOld.loopEnabled) {
        result = 2;
    }

    const std::string delayText = view.GetItemText(IDC_EDIT_DELAY);
    const int delay = ParseLikeStrToIntA(delayText);
    if ((delayText != "0" && delay == 0) || IsDelayOutOfRange(delayText)) {
        view.ShowMessageBox("Delay Time Data is not correct!", kProgramName, kMbOk);
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
    EndDialog(result);
}

void COutputOptionDlg::OnRadioTcpClient() {
    m_optionNew.outputInterface = kInterfaceTcpClient;
    HideAllPages();
    ShowPage(m_pClientPage.get());
}

void COutputOptionDlg::OnRadioUdpClient() {
    m_optionNew.outputInterface = kInterfaceUdpClient;
    HideAllPages();
    ShowPage(m_pClientPage.get());
}

void COutputOptionDlg::OnRadioRS232() {
    m_optionNew.outputInterface = kInterfaceRs232;
    HideAllPages();
    ShowPage(m_pRS232Page.get());
}

void COutputOptionDlg::HideAllPages() {
    for (CPropertyDlg* page : m_pageList) {
        if (CDialogView* pageView = page->View()) {
            pageView->ShowWindow(kSwHide);
        }
    }
}

void COutputOptionDlg::ShowPage(CPropertyDlg* pPage) {
    CDialogView* pageView = pPage != nullptr ? pPage->View() : nullptr;
    if (pageView == nullptr) {
        return;
    }
    // Back to the template position first, so that switching pages never adds up shifts.
    if (m_nButtonShift != 0) {
        MoveControlBy(IDC_BUTTON_OUTPUT_OK, -m_nButtonShift);
        MoveControlBy(IDC_BUTTON_OUTPUT_CANCEL, -m_nButtonShift);
    }
    const ViewRect marker = View()->GetItemRect(IDC_STATIC_PAGE_MARKER);
    const int pageHeight = pageView->GetWindowRect().height;

    View()->SetWindowSize(m_rcInitial.width, m_rcInitial.height + pageHeight + kPageGap);
    MoveControlBy(IDC_BUTTON_OUTPUT_OK, pageHeight + kPageGap);
    MoveControlBy(IDC_BUTTON_OUTPUT_CANCEL, pageHeight + kPageGap);
    m_nButtonShift = pageHeight + kPageGap;

    pageView->MoveWindow(marker.x, marker.y);
    pageView->ShowWindow(kSwShow);
}

void COutputOptionDlg::MoveControlBy(int nId, int nDistance) {
    const ViewRect rect = View()->GetItemRect(nId);
    View()->MoveItem(nId, rect.x, rect.y + nDistance);
}
