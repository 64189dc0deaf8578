#include "gui_win32/Win32DialogView.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>
#include <windowsx.h>

#include <algorithm>

#include "gui_win32/InMemoryTemplate.h"
#include "platform/ShowWindowRequest.h"
#include "ui/ListSource.h"
#include "ui/ViewConstants.h"

namespace {
// Work posted from other threads: one message per piece of work, run in order.
constexpr UINT kWmRunPosted = WM_APP + 1;
// Gives the focus to the control chosen while the window was inactive, once the dialog manager
// has put back the control it kept.
constexpr UINT kWmFocusChosen = WM_APP + 2;

std::wstring ToWide(const std::string& text) {
    const int count =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(count), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), count);
    return wide;
}

std::string WindowText(HWND hWnd) {
    const int length = GetWindowTextLengthA(hWnd);
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const int copied = GetWindowTextA(hWnd, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(copied, 0)));
    return text;
}

bool HasClass(HWND hWnd, const char* className) {
    char name[64] = {};
    GetClassNameA(hWnd, name, sizeof name);
    return lstrcmpiA(name, className) == 0;
}

ViewRect ToViewRect(const RECT& rect) {
    return ViewRect{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

// The file pattern of a filter named like "All Files(*.*)": the text in its last parentheses.
std::string FilterPattern(const std::string& filter) {
    const std::size_t open = filter.rfind('(');
    const std::size_t close = filter.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close <= open + 1) {
        return "*.*";
    }
    return filter.substr(open + 1, close - open - 1);
}
}  // namespace

CWin32DialogView::CWin32DialogView(HINSTANCE hInstance, const DialogTemplate& dialogTemplate,
                                   CWin32DialogView* pOwner, CViewEvents& events,
                                   const std::string& windowClass)
    : m_pOwner(pOwner), m_pEvents(&events) {
    const CInMemoryTemplate built(dialogTemplate, windowClass);
    m_hWnd = CreateDialogIndirectParamA(
        hInstance, built.Get(), pOwner != nullptr ? pOwner->m_hWnd : nullptr,
        &CWin32DialogView::DialogProc, reinterpret_cast<LPARAM>(this));
}

CWin32DialogView::CWin32DialogView(HINSTANCE hInstance, const DialogTemplate& pageTemplate,
                                   CWin32DialogView& parent, int nInsertAfterId)
    : m_pParent(&parent), m_pEvents(parent.m_pEvents) {
    const CInMemoryTemplate built(pageTemplate, std::string());
    m_hWnd =
        CreateDialogIndirectParamA(hInstance, built.Get(), parent.m_hWnd,
                                   &CWin32DialogView::DialogProc, reinterpret_cast<LPARAM>(this));
    if (m_hWnd == nullptr) {
        return;
    }
    parent.m_pages.push_back(m_hWnd);
    // Tabbing reaches a page's controls where the page stands among its parent's children.
    const HWND hAfter = parent.Item(nInsertAfterId);
    SetWindowPos(m_hWnd, hAfter != nullptr ? hAfter : HWND_TOP, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOACTIVATE);
}

CWin32DialogView::~CWin32DialogView() {
    if (m_hWnd == nullptr) {
        return;
    }
    if (m_pParent != nullptr) {
        std::erase(m_pParent->m_pages, m_hWnd);
    }
    if (m_pOwner != nullptr && m_bRunning) {
        EnableWindow(m_pOwner->m_hWnd, TRUE);
    }
    SetWindowLongPtrA(m_hWnd, DWLP_USER, 0);
    DestroyWindow(m_hWnd);
}

// --- messages ---------------------------------------------------------------------------------

INT_PTR CALLBACK CWin32DialogView::DialogProc(HWND hWnd, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* view = reinterpret_cast<CWin32DialogView*>(lParam);
        SetWindowLongPtrA(hWnd, DWLP_USER, lParam);
        view->m_hWnd = hWnd;
        return view->m_pParent == nullptr ? TRUE : FALSE;
    }
    auto* view = reinterpret_cast<CWin32DialogView*>(GetWindowLongPtrA(hWnd, DWLP_USER));
    return view != nullptr ? view->OnMessage(message, wParam, lParam) : FALSE;
}

INT_PTR CWin32DialogView::Answer(LRESULT result) {
    SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, result);
    return TRUE;
}

INT_PTR CWin32DialogView::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kWmRunPosted) {
        RunPostedWork();
        return TRUE;
    }
    if (message == kWmFocusChosen) {
        if (m_bFocusChosenWhileInactive && IsActive() && m_hInactiveFocus != nullptr &&
            IsWindowEnabled(m_hInactiveFocus)) {
            SendMessageA(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(m_hInactiveFocus), TRUE);
        }
        m_bFocusChosenWhileInactive = false;
        m_hInactiveFocus = nullptr;
        return TRUE;
    }
    if (m_uTrayMessage != 0 && message == m_uTrayMessage) {
        return Answer(m_pEvents->OnTrayNotification(static_cast<unsigned long>(wParam),
                                                    static_cast<long>(lParam)));
    }
    if (m_uShowWindowMessage != 0 && message == m_uShowWindowMessage) {
        return Answer(m_pEvents->OnShowWindowRequest(static_cast<long>(lParam)));
    }
    switch (message) {
        case WM_COMMAND: {
            // Clicks of buttons, and the commands of a menu (no control).
            const HWND hControl = reinterpret_cast<HWND>(lParam);
            if (HIWORD(wParam) == BN_CLICKED &&
                (hControl == nullptr || HasClass(hControl, "Button"))) {
                m_pEvents->OnCommand(LOWORD(wParam));
                return TRUE;
            }
            return FALSE;
        }
        case WM_SYSCOMMAND: {
            const unsigned command = static_cast<unsigned>(wParam) & kScMask;
            const bool bAdded = std::find(m_systemMenuIds.begin(), m_systemMenuIds.end(),
                                          command) != m_systemMenuIds.end();
            if (command == SC_CLOSE || command == SC_MINIMIZE || bAdded) {
                m_pEvents->OnSysCommand(static_cast<unsigned>(wParam));
                return TRUE;
            }
            return FALSE;  // moving, the keyboard menu: the system's own
        }
        case WM_CLOSE:
            m_pEvents->OnSysCommand(kScClose);
            return TRUE;
        case WM_CONTEXTMENU:
            if (m_contextMenu.empty()) {
                return FALSE;
            }
            TrackContextMenu(lParam);
            return TRUE;
        case WM_ACTIVATE:
            // The dialog manager keeps and puts back the focused control itself; the view only
            // remembers it, so that GetFocus and GotoDlgCtrl work while another window is active.
            if (LOWORD(wParam) == WA_INACTIVE) {
                const HWND hFocus = ::GetFocus();
                m_hInactiveFocus = ControlIdOf(hFocus) != -1 ? hFocus : nullptr;
                m_bFocusChosenWhileInactive = false;
            } else if (m_bFocusChosenWhileInactive) {
                PostMessageA(m_hWnd, kWmFocusChosen, 0, 0);
            } else {
                m_hInactiveFocus = nullptr;
            }
            return FALSE;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->code == LVN_GETDISPINFOA || header->code == LVN_GETDISPINFOW) {
                OnGetDispInfo(*header, lParam);
                return TRUE;
            }
            return FALSE;
        }
        default:
            return FALSE;
    }
}

void CWin32DialogView::OnGetDispInfo(const NMHDR& header, LPARAM lParam) {
    const auto found = m_listSources.find(static_cast<int>(header.idFrom));
    if (found == m_listSources.end() || found->second == nullptr) {
        return;
    }
    // The list keeps no text of its own: the row is asked of the source whenever it is drawn.
    if (header.code == LVN_GETDISPINFOA) {
        auto* info = reinterpret_cast<NMLVDISPINFOA*>(lParam);
        if ((info->item.mask & LVIF_TEXT) != 0 && info->item.iSubItem == 0 &&
            info->item.pszText != nullptr && info->item.cchTextMax > 0) {
            m_dispText = found->second->ItemText(info->item.iItem);
            lstrcpynA(info->item.pszText, m_dispText.c_str(), info->item.cchTextMax);
        }
    } else {
        auto* info = reinterpret_cast<NMLVDISPINFOW*>(lParam);
        if ((info->item.mask & LVIF_TEXT) != 0 && info->item.iSubItem == 0 &&
            info->item.pszText != nullptr && info->item.cchTextMax > 0) {
            m_dispWideText = ToWide(found->second->ItemText(info->item.iItem));
            lstrcpynW(info->item.pszText, m_dispWideText.c_str(), info->item.cchTextMax);
        }
    }
}

void CWin32DialogView::Post(std::function<void()> work) {
    {
        std::lock_guard lock(m_postedMutex);
        m_posted.push_back(std::move(work));
    }
    PostMessageA(m_hWnd, kWmRunPosted, 0, 0);
}

void CWin32DialogView::RunPostedWork() {
    std::function<void()> work;
    {
        std::lock_guard lock(m_postedMutex);
        if (m_posted.empty()) {
            return;
        }
        work = std::move(m_posted.front());
        m_posted.pop_front();
    }
    work();
}

bool CWin32DialogView::PassKeyToEvents(const MSG& message) {
    if (message.message != WM_KEYDOWN ||
        (message.wParam != VK_RETURN && message.wParam != VK_ESCAPE && message.wParam != VK_F1)) {
        return false;
    }
    if (message.hwnd != m_hWnd && !IsChild(m_hWnd, message.hwnd)) {
        return false;
    }
    // The system's virtual-key codes are the ui's.
    m_pEvents->OnKeyDown(static_cast<int>(message.wParam), ControlIdOf(::GetFocus()));
    return true;
}

int CWin32DialogView::ControlIdOf(HWND hFocus) const {
    // The focus may sit in a part of a control (the field of a combo box, one number of the
    // address control): the control is the window whose parent is this window or a page.
    for (HWND hWnd = hFocus; hWnd != nullptr; hWnd = GetParent(hWnd)) {
        const HWND hParent = GetParent(hWnd);
        if (hParent == m_hWnd ||
            std::find(m_pages.begin(), m_pages.end(), hParent) != m_pages.end()) {
            return std::find(m_pages.begin(), m_pages.end(), hWnd) != m_pages.end()
                       ? -1
                       : GetDlgCtrlID(hWnd);
        }
    }
    return -1;
}

// --- controls -----------------------------------------------------------------------------------

HWND CWin32DialogView::Item(int nId) const {
    return m_hWnd != nullptr ? GetDlgItem(m_hWnd, nId) : nullptr;
}

bool CWin32DialogView::IsActive() const {
    return m_hWnd != nullptr && GetActiveWindow() == m_hWnd;
}

bool CWin32DialogView::IsComboList(HWND hItem) const {
    return HasClass(hItem, "ComboBox") &&
           (GetWindowLongPtrA(hItem, GWL_STYLE) & 0x3) == CBS_DROPDOWNLIST;
}

void CWin32DialogView::SetItemText(int nId, const std::string& text) {
    const HWND hItem = Item(nId);
    if (hItem == nullptr) {
        return;
    }
    if (IsComboList(hItem)) {
        // A drop-down list has no field: its text is the item selected.
        const LRESULT index = SendMessageA(hItem, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                           reinterpret_cast<LPARAM>(text.c_str()));
        SendMessageA(hItem, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        return;
    }
    SetWindowTextA(hItem, text.c_str());
}

std::string CWin32DialogView::GetItemText(int nId) const {
    const HWND hItem = Item(nId);
    return hItem != nullptr ? WindowText(hItem) : std::string();
}

void CWin32DialogView::EnableItem(int nId, bool bEnable) {
    if (const HWND hItem = Item(nId)) {
        EnableWindow(hItem, bEnable ? TRUE : FALSE);
    }
}

bool CWin32DialogView::IsItemEnabled(int nId) const {
    const HWND hItem = Item(nId);
    return hItem != nullptr && IsWindowEnabled(hItem) != FALSE;
}

void CWin32DialogView::ShowItem(int nId, bool bShow) {
    if (const HWND hItem = Item(nId)) {
        ::ShowWindow(hItem, bShow ? SW_SHOW : SW_HIDE);
    }
}

bool CWin32DialogView::IsItemShown(int nId) const {
    const HWND hItem = Item(nId);
    return hItem != nullptr && (GetWindowLongPtrA(hItem, GWL_STYLE) & WS_VISIBLE) != 0;
}

int CWin32DialogView::GetFocus() const {
    if (m_pParent == nullptr && !IsActive()) {
        return m_hInactiveFocus != nullptr ? ControlIdOf(m_hInactiveFocus) : -1;
    }
    return ControlIdOf(::GetFocus());
}

void CWin32DialogView::GotoDlgCtrl(int nId) {
    const HWND hItem = Item(nId);
    if (hItem == nullptr) {
        return;
    }
    if (m_pParent == nullptr && !IsActive()) {
        // Setting the focus now would activate the window; it takes it when it is activated.
        m_hInactiveFocus = hItem;
        m_bFocusChosenWhileInactive = true;
        return;
    }
    SendMessageA(m_pParent != nullptr ? m_pParent->m_hWnd : m_hWnd, WM_NEXTDLGCTL,
                 reinterpret_cast<WPARAM>(hItem), TRUE);
}

void CWin32DialogView::CheckItem(int nId, bool bCheck) {
    if (Item(nId) != nullptr) {
        CheckDlgButton(m_hWnd, nId, bCheck ? BST_CHECKED : BST_UNCHECKED);
    }
}

bool CWin32DialogView::IsItemChecked(int nId) const {
    return Item(nId) != nullptr && IsDlgButtonChecked(m_hWnd, nId) == BST_CHECKED;
}

void CWin32DialogView::ResetContent(int nId) {
    if (const HWND hItem = Item(nId)) {
        SendMessageA(hItem, CB_RESETCONTENT, 0, 0);
    }
}

void CWin32DialogView::AddString(int nId, const std::string& text) {
    if (const HWND hItem = Item(nId)) {
        SendMessageA(hItem, CB_INSERTSTRING, static_cast<WPARAM>(-1),
                     reinterpret_cast<LPARAM>(text.c_str()));
    }
}

void CWin32DialogView::SetCurSel(int nId, int nIndex) {
    if (const HWND hItem = Item(nId)) {
        SendMessageA(hItem, CB_SETCURSEL, static_cast<WPARAM>(nIndex), 0);
    }
}

void CWin32DialogView::SetAddress(int nId, std::uint32_t dwAddress) {
    if (const HWND hItem = Item(nId)) {
        SendMessageA(hItem, IPM_SETADDRESS, 0, static_cast<LPARAM>(dwAddress));
    }
}

std::uint32_t CWin32DialogView::GetAddress(int nId) const {
    DWORD address = 0;
    if (const HWND hItem = Item(nId)) {
        SendMessageA(hItem, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&address));
    }
    return address;
}

// --- lists --------------------------------------------------------------------------------------

int CWin32DialogView::GetListClientWidth(int nId) const {
    RECT client{};
    if (const HWND hItem = Item(nId)) {
        GetClientRect(hItem, &client);
    }
    return client.right - client.left;
}

void CWin32DialogView::InsertListColumn(int nId, int nColumn, const std::string& heading,
                                        int nWidth, int nAlign) {
    const HWND hItem = Item(nId);
    if (hItem == nullptr) {
        return;
    }
    std::string text = heading;
    LVCOLUMNA column{};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = nAlign;  // the list's own LVCFMT_ values
    column.cx = nWidth;
    column.pszText = text.data();
    column.iSubItem = nColumn;
    SendMessageA(hItem, LVM_INSERTCOLUMNA, static_cast<WPARAM>(nColumn),
                 reinterpret_cast<LPARAM>(&column));
}

void CWin32DialogView::DeleteAllListItems(int nId) {
    if (const HWND hItem = Item(nId)) {
        SendMessageA(hItem, LVM_DELETEALLITEMS, 0, 0);
    }
}

void CWin32DialogView::AddListRow(int nId, const std::vector<std::string>& texts) {
    const HWND hItem = Item(nId);
    if (hItem == nullptr || texts.empty()) {
        return;
    }
    std::vector<std::string> copies = texts;
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(SendMessageA(hItem, LVM_GETITEMCOUNT, 0, 0));
    item.pszText = copies[0].data();
    const int index =
        static_cast<int>(SendMessageA(hItem, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (index < 0) {
        return;
    }
    for (std::size_t column = 1; column < copies.size(); ++column) {
        LVITEMA sub{};
        sub.iSubItem = static_cast<int>(column);
        sub.pszText = copies[column].data();
        SendMessageA(hItem, LVM_SETITEMTEXTA, static_cast<WPARAM>(index),
                     reinterpret_cast<LPARAM>(&sub));
    }
}

void CWin32DialogView::SetListSource(int nId, const CListSource* pSource) {
    if (Item(nId) != nullptr) {
        m_listSources[nId] = pSource;
    }
}

void CWin32DialogView::SetListItemCount(int nId, int nCount) {
    if (const HWND hItem = Item(nId)) {
        SendMessageA(hItem, LVM_SETITEMCOUNT, static_cast<WPARAM>(nCount), 0);
        InvalidateRect(hItem, nullptr, TRUE);
    }
}

void CWin32DialogView::SetListItemSelected(int nId, int nIndex, bool bSelected) {
    if (const HWND hItem = Item(nId)) {
        ListView_SetItemState(hItem, nIndex, bSelected ? LVIS_SELECTED : 0, LVIS_SELECTED);
    }
}

int CWin32DialogView::GetListTopIndex(int nId) const {
    const HWND hItem = Item(nId);
    return hItem != nullptr ? static_cast<int>(SendMessageA(hItem, LVM_GETTOPINDEX, 0, 0)) : 0;
}

int CWin32DialogView::GetListCountPerPage(int nId) const {
    const HWND hItem = Item(nId);
    return hItem != nullptr ? static_cast<int>(SendMessageA(hItem, LVM_GETCOUNTPERPAGE, 0, 0)) : 0;
}

void CWin32DialogView::SetListTopIndex(int nId, int nTop) {
    const HWND hItem = Item(nId);
    if (hItem == nullptr) {
        return;
    }
    const int top = GetListTopIndex(nId);
    RECT row{};
    row.left = LVIR_BOUNDS;
    if (SendMessageA(hItem, LVM_GETITEMRECT, static_cast<WPARAM>(top),
                     reinterpret_cast<LPARAM>(&row)) == FALSE) {
        return;
    }
    // A report list scrolls by pixels, rounded to whole rows.
    SendMessageA(hItem, LVM_SCROLL, 0, (nTop - top) * (row.bottom - row.top));
}

void CWin32DialogView::SetProgressRange(int nId, int nLower, int nUpper) {
    if (const HWND hItem = Item(nId)) {
        SendMessageA(hItem, PBM_SETRANGE32, static_cast<WPARAM>(nLower), nUpper);
    }
}

void CWin32DialogView::SetProgressPos(int nId, int nPos) {
    if (const HWND hItem = Item(nId)) {
        SendMessageA(hItem, PBM_SETPOS, static_cast<WPARAM>(nPos), 0);
    }
}

ViewRect CWin32DialogView::GetItemRect(int nId) const {
    const HWND hItem = Item(nId);
    if (hItem == nullptr) {
        return ViewRect{};
    }
    RECT rect{};
    ::GetWindowRect(hItem, &rect);
    MapWindowPoints(HWND_DESKTOP, m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
    return ToViewRect(rect);
}

void CWin32DialogView::MoveItem(int nId, int x, int y) {
    if (const HWND hItem = Item(nId)) {
        SetWindowPos(hItem, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

// --- the window -------------------------------------------------------------------------------

ViewRect CWin32DialogView::GetWindowRect() const {
    RECT rect{};
    if (m_hWnd == nullptr) {
        return ViewRect{};
    }
    ::GetWindowRect(m_hWnd, &rect);
    if (m_pParent != nullptr) {
        MapWindowPoints(HWND_DESKTOP, m_pParent->m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
    }
    return ToViewRect(rect);
}

ViewRect CWin32DialogView::GetWorkArea() const {
    RECT area{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    return ToViewRect(area);
}

void CWin32DialogView::SetWindowSize(int nWidth, int nHeight) {
    SetWindowPos(m_hWnd, nullptr, 0, 0, nWidth, nHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWin32DialogView::MoveWindow(int x, int y) {
    SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWin32DialogView::ShowWindow(int nCmdShow) {
    // The ui's ShowWindow commands are the system's numbers.
    ::ShowWindow(m_hWnd, nCmdShow);
}

void CWin32DialogView::SetForegroundWindow() {
    ::SetForegroundWindow(m_hWnd);
}

void CWin32DialogView::BringToFront() {
    ::SetForegroundWindow(m_hWnd);
    SetActiveWindow(m_hWnd);
    BringWindowToTop(m_hWnd);
}

void CWin32DialogView::SetTopMost(bool bTopMost) {
    SetWindowPos(m_hWnd, bTopMost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE);
}

void CWin32DialogView::AppendSystemMenuItem(unsigned nId, const std::string& text) {
    const HMENU hMenu = m_hWnd != nullptr ? GetSystemMenu(m_hWnd, FALSE) : nullptr;
    if (hMenu == nullptr) {
        return;
    }
    if (text.empty()) {
        AppendMenuA(hMenu, MF_SEPARATOR, 0, nullptr);
        return;
    }
    AppendMenuA(hMenu, MF_STRING, nId, text.c_str());
    m_systemMenuIds.push_back(nId & kScMask);
}

void CWin32DialogView::AppendContextMenuItem(unsigned nId, const std::string& text) {
    m_contextMenu.emplace_back(nId, text);
}

void CWin32DialogView::TrackContextMenu(LPARAM lParam) {
    const HMENU hMenu = CreatePopupMenu();
    if (hMenu == nullptr) {
        return;
    }
    for (const auto& [nId, text] : m_contextMenu) {
        if (text.empty()) {
            AppendMenuA(hMenu, MF_SEPARATOR, 0, nullptr);
        } else {
            AppendMenuA(hMenu, MF_STRING, nId, text.c_str());
        }
    }
    POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    if (lParam == -1) {
        // From the keyboard: at the control with the focus, or the window's corner.
        RECT rect{};
        const HWND hFocus = ::GetFocus();
        ::GetWindowRect(hFocus != nullptr && IsChild(m_hWnd, hFocus) ? hFocus : m_hWnd, &rect);
        at = POINT{rect.left, rect.top};
    }
    const UINT chosen = static_cast<UINT>(
        ::TrackPopupMenu(hMenu, TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y, 0, m_hWnd, nullptr));
    DestroyMenu(hMenu);
    if (chosen != 0) {
        m_pEvents->OnSysCommand(chosen);
    }
}

void CWin32DialogView::AcceptShowWindowRequests() {
    m_uShowWindowMessage = RegisterWindowMessageA(kShowWindowRequestName);
}

// --- modal run --------------------------------------------------------------------------------

int CWin32DialogView::RunModal() {
    if (m_hWnd == nullptr) {
        return -1;
    }
    if (m_bEnded) {
        return m_nResult;
    }
    m_bRunning = true;
    const HWND hOwner = m_pOwner != nullptr ? m_pOwner->m_hWnd : nullptr;
    if (hOwner != nullptr) {
        EnableWindow(hOwner, FALSE);
    }
    ::ShowWindow(m_hWnd, SW_SHOW);
    ::SetForegroundWindow(m_hWnd);
    MSG message{};
    while (!m_bEnded) {
        const BOOL got = GetMessageA(&message, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(message.wParam));  // for the loop outside
            break;
        }
        if (got < 0) {
            break;
        }
        if (PassKeyToEvents(message) || IsDialogMessageA(m_hWnd, &message)) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    m_bRunning = false;
    return m_nResult;
}

void CWin32DialogView::EndDialog(int nResult) {
    m_bEnded = true;
    m_nResult = nResult;
    if (m_hWnd == nullptr) {
        return;
    }
    // The owner is enabled before this window goes, so that it is the one activated next.
    if (m_pOwner != nullptr && m_bRunning) {
        EnableWindow(m_pOwner->m_hWnd, TRUE);
    }
    ::ShowWindow(m_hWnd, SW_HIDE);
    PostMessageA(m_hWnd, WM_NULL, 0, 0);  // wakes the modal loop to see the end
}

// --- prompts ----------------------------------------------------------------------------------

int CWin32DialogView::ShowMessageBox(const std::string& text, const std::string& caption,
                                     unsigned nFlags) {
    return MessageBoxA(m_hWnd, text.c_str(), caption.c_str(), nFlags);
}

bool CWin32DialogView::ChooseOpenFile(const std::string& filter, std::string& path) {
    // "Name\0pattern\0\0", as the chooser takes its filters.
    std::string filters = filter;
    filters.push_back('\0');
    filters += FilterPattern(filter);
    filters.push_back('\0');
    std::string chosen(32768, '\0');
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = m_hWnd;
    dialog.lpstrFilter = filters.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = chosen.data();
    dialog.nMaxFile = static_cast<DWORD>(chosen.size());
    dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY;  // a name that does not exist may be typed
    if (GetOpenFileNameA(&dialog) == FALSE) {
        return false;
    }
    path = chosen.c_str();
    return true;
}

bool CWin32DialogView::ChooseFolder(const std::string& title, std::string& folder) {
    char displayName[MAX_PATH] = {};
    BROWSEINFOA browse{};
    browse.hwndOwner = m_hWnd;
    browse.pidlRoot = nullptr;  // the whole name space
    browse.pszDisplayName = displayName;
    browse.lpszTitle = title.c_str();
    browse.ulFlags = BIF_RETURNONLYFSDIRS;
    LPITEMIDLIST chosen = SHBrowseForFolderA(&browse);
    if (chosen == nullptr) {
        return false;
    }
    char path[MAX_PATH] = {};
    const BOOL bPath = SHGetPathFromIDListA(chosen, path);
    CoTaskMemFree(chosen);
    if (bPath == FALSE) {
        return false;
    }
    folder = path;
    return true;
}
