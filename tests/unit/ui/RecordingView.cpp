#include "RecordingView.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "ui/ViewConstants.h"

namespace {
// Dialog units to pixels with base units of 6 by 13, edges converted as a dialog does.
int X(int units) {
    return units * 6 / 4;
}
int Y(int units) {
    return units * 13 / 8;
}
ViewRect Pixels(const TemplateRect& rect) {
    return ViewRect{X(rect.x), Y(rect.y), X(rect.x + rect.width) - X(rect.x),
                    Y(rect.y + rect.height) - Y(rect.y)};
}

CRecordingView::Control& NoControl() {
    static CRecordingView::Control none;
    none = CRecordingView::Control();
    return none;
}
}  // namespace

// --- the view ---------------------------------------------------------------------------------

CRecordingView::CRecordingView(CRecordingFactory& factory, const DialogTemplate& dialogTemplate,
                               CViewEvents* pEvents, CRecordingView* pParent)
    : m_factory(factory), m_template(dialogTemplate), m_pEvents(pEvents) {
    (void)pParent;
    m_window = ViewRect{0, 0, X(dialogTemplate.width), Y(dialogTemplate.height)};
    for (const ControlTemplate& control : dialogTemplate.controls) {
        if (control.id == -1) {
            continue;
        }
        Control& state = m_controls[control.id];
        state.kind = control.kind;
        state.text = control.kind == "combobox" || control.kind == "edit" ? "" : control.text;
        state.enabled = !control.Has("disabled");
        state.visible = !control.Has("hidden");
        state.rect = Pixels(control.rect);
    }
    m_factory.m_views.push_back(this);
}

CRecordingView::~CRecordingView() {
    auto& views = m_factory.m_views;
    views.erase(std::remove(views.begin(), views.end(), this), views.end());
}

CRecordingView::Control& CRecordingView::Item(int nId) {
    auto found = m_controls.find(nId);
    if (found == m_controls.end()) {
        ADD_FAILURE() << "template " << m_template.id << " has no control " << nId;
        return NoControl();
    }
    return found->second;
}

const CRecordingView::Control& CRecordingView::Item(int nId) const {
    return const_cast<CRecordingView*>(this)->Item(nId);
}

std::string CRecordingView::ListItemText(int nId, int nIndex) const {
    const Control& list = Item(nId);
    EXPECT_TRUE(list.source != nullptr && nIndex >= 0 && nIndex < list.count);
    return list.source != nullptr ? list.source->ItemText(nIndex) : std::string();
}

// --- a user's actions -------------------------------------------------------------------------

void CRecordingView::Click(int nId) {
    Control& control = Item(nId);
    if (!control.enabled || !control.visible) {
        ADD_FAILURE() << "control " << nId << " cannot be clicked now";
        return;
    }
    if (control.kind == "checkbox") {
        control.checked = !control.checked;
    } else if (control.kind == "radio") {
        for (auto& [id, other] : m_controls) {
            if (other.kind == "radio") {
                other.checked = id == nId;
            }
        }
    }
    m_pEvents->OnCommand(nId);
}

void CRecordingView::Type(int nId, const std::string& text) {
    Control& control = Item(nId);
    control.text = text;
    if (control.kind == "combobox") {
        control.curSel = -1;
    }
}

void CRecordingView::Select(int nId, int nIndex) {
    SetCurSel(nId, nIndex);
}

void CRecordingView::PressKey(int nVirtualKey, int nFocusId) {
    m_pEvents->OnKeyDown(nVirtualKey, nFocusId);
}

void CRecordingView::Close() {
    m_pEvents->OnSysCommand(kScClose);
}

// --- posted work ------------------------------------------------------------------------------

void CRecordingView::Post(std::function<void()> work) {
    std::lock_guard lock(m_mutex);
    m_work.push_back(std::move(work));
    m_posted.notify_all();
}

void CRecordingView::RunPosted() {
    for (;;) {
        std::function<void()> work;
        {
            std::lock_guard lock(m_mutex);
            if (m_work.empty()) {
                return;
            }
            work = std::move(m_work.front());
            m_work.pop_front();
        }
        work();
    }
}

bool CRecordingView::RunPostedUntil(const std::function<bool()>& done,
                                    std::chrono::milliseconds timeout) {
    // What is awaited may come from posted work or from elsewhere (a file, a socket): the
    // condition is looked at again at least every few milliseconds.
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        RunPosted();
        if (done()) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::unique_lock lock(m_mutex);
        m_posted.wait_for(lock, std::chrono::milliseconds(5), [this] { return !m_work.empty(); });
    }
}

// --- controls ---------------------------------------------------------------------------------

void CRecordingView::SetItemText(int nId, const std::string& text) {
    Control& control = Item(nId);
    if (control.kind == "combobox" && m_template.Control(nId)->Has("dropdownlist")) {
        const auto found = std::find(control.items.begin(), control.items.end(), text);
        SetCurSel(nId, found == control.items.end()
                           ? -1
                           : static_cast<int>(found - control.items.begin()));
        return;
    }
    control.text = text;
}

std::string CRecordingView::GetItemText(int nId) const {
    return Item(nId).text;
}

void CRecordingView::EnableItem(int nId, bool bEnable) {
    Item(nId).enabled = bEnable;
}

bool CRecordingView::IsItemEnabled(int nId) const {
    return Item(nId).enabled;
}

void CRecordingView::ShowItem(int nId, bool bShow) {
    Item(nId).visible = bShow;
}

void CRecordingView::CheckItem(int nId, bool bCheck) {
    Item(nId).checked = bCheck;
}

bool CRecordingView::IsItemChecked(int nId) const {
    return Item(nId).checked;
}

void CRecordingView::ResetContent(int nId) {
    Control& control = Item(nId);
    control.items.clear();
    control.curSel = -1;
    control.text.clear();
}

void CRecordingView::AddString(int nId, const std::string& text) {
    Item(nId).items.push_back(text);
}

void CRecordingView::SetCurSel(int nId, int nIndex) {
    Control& control = Item(nId);
    const bool bValid = nIndex >= 0 && nIndex < static_cast<int>(control.items.size());
    control.curSel = bValid ? nIndex : -1;
    control.text = bValid ? control.items[static_cast<std::size_t>(nIndex)] : std::string();
}

void CRecordingView::SetAddress(int nId, std::uint32_t dwAddress) {
    Item(nId).address = dwAddress;
}

std::uint32_t CRecordingView::GetAddress(int nId) const {
    return Item(nId).address;
}

int CRecordingView::GetListClientWidth(int nId) const {
    return Item(nId).rect.width - 2;  // inside its border
}

void CRecordingView::InsertListColumn(int nId, int nColumn, const std::string& heading, int nWidth,
                                      int nAlign) {
    Control& list = Item(nId);
    const auto at = static_cast<std::size_t>(nColumn);
    list.headings.insert(list.headings.begin() + static_cast<long>(at), heading);
    list.widths.insert(list.widths.begin() + static_cast<long>(at), nWidth);
    list.aligns.insert(list.aligns.begin() + static_cast<long>(at), nAlign);
}

void CRecordingView::DeleteAllListItems(int nId) {
    Item(nId).rows.clear();
}

void CRecordingView::AddListRow(int nId, const std::vector<std::string>& texts) {
    Item(nId).rows.push_back(texts);
}

void CRecordingView::SetListSource(int nId, const CListSource* pSource) {
    Item(nId).source = pSource;
}

void CRecordingView::SetListItemCount(int nId, int nCount) {
    Control& list = Item(nId);
    list.count = nCount;
    list.selected.clear();
    list.top = 0;
}

void CRecordingView::SetListItemSelected(int nId, int nIndex, bool bSelected) {
    Control& list = Item(nId);
    if (nIndex < 0) {
        list.selected.clear();
        if (bSelected) {
            for (int i = 0; i < list.count; ++i) {
                list.selected.insert(i);
            }
        }
        return;
    }
    if (nIndex >= list.count) {
        return;
    }
    if (bSelected) {
        list.selected = {nIndex};  // a single-selection list
    } else {
        list.selected.erase(nIndex);
    }
}

int CRecordingView::GetListTopIndex(int nId) const {
    return Item(nId).top;
}

int CRecordingView::GetListCountPerPage(int nId) const {
    (void)Item(nId);
    return kCountPerPage;
}

void CRecordingView::SetListTopIndex(int nId, int nTop) {
    Control& list = Item(nId);
    // A list scrolls no further than its last page allows.
    list.top = std::clamp(nTop, 0, std::max(0, list.count - kCountPerPage));
}

void CRecordingView::SetProgressRange(int nId, int nLower, int nUpper) {
    Item(nId).lower = nLower;
    Item(nId).upper = nUpper;
}

void CRecordingView::SetProgressPos(int nId, int nPos) {
    Item(nId).pos = nPos;
}

ViewRect CRecordingView::GetItemRect(int nId) const {
    return Item(nId).rect;
}

void CRecordingView::MoveItem(int nId, int x, int y) {
    Item(nId).rect.x = x;
    Item(nId).rect.y = y;
}

// --- the window -------------------------------------------------------------------------------

void CRecordingView::SetWindowSize(int nWidth, int nHeight) {
    m_window.width = nWidth;
    m_window.height = nHeight;
}

void CRecordingView::MoveWindow(int x, int y) {
    m_window.x = x;
    m_window.y = y;
}

void CRecordingView::ShowWindow(int nCmdShow) {
    switch (nCmdShow) {
        case kSwHide:
            m_bVisible = false;
            break;
        case kSwMinimize:
            m_bVisible = true;
            m_bMinimized = true;
            break;
        case kSwShowNormal:
            m_bVisible = true;
            m_bMinimized = false;
            break;
        default:
            m_bVisible = true;
            break;
    }
}

void CRecordingView::AppendSystemMenuItem(unsigned nId, const std::string& text) {
    m_systemMenu.emplace_back(nId, text);
}

int CRecordingView::RunModal() {
    m_bVisible = true;
    auto& actions = m_factory.m_modalActions[m_template.id];
    if (actions.empty()) {
        ADD_FAILURE() << "nothing to do in the modal run of template " << m_template.id;
        return kStillOpen;
    }
    const auto action = std::move(actions.front());
    actions.pop_front();
    action(*this);
    return m_result.value_or(kStillOpen);
}

void CRecordingView::EndDialog(int nResult) {
    m_result = nResult;
    m_bVisible = false;
}

int CRecordingView::ShowMessageBox(const std::string& text, const std::string& caption,
                                   unsigned nFlags) {
    m_factory.boxes.push_back(RecordedBox{text, caption, nFlags});
    return kIdOk;
}

bool CRecordingView::ChooseOpenFile(const std::string& filter, std::string& path) {
    m_factory.fileFilters.push_back(filter);
    if (m_factory.chosenFiles.empty()) {
        return false;
    }
    path = m_factory.chosenFiles.front();
    m_factory.chosenFiles.pop_front();
    return true;
}

bool CRecordingView::ChooseFolder(const std::string& title, std::string& folder) {
    m_factory.folderTitles.push_back(title);
    if (!m_factory.chosenFolder) {
        return false;
    }
    folder = *m_factory.chosenFolder;
    return true;
}

// --- the tray ---------------------------------------------------------------------------------

bool CRecordingTrayView::AddIcon(unsigned nId, unsigned nCallbackMessage, const std::string& tip,
                                 const MenuTemplate& menu) {
    if (!m_factory.trayAvailable) {
        return false;
    }
    m_factory.trayShown = true;
    m_factory.trayId = nId;
    m_factory.trayCallback = nCallbackMessage;
    m_factory.trayTip = tip;
    m_factory.trayMenu.clear();
    for (const MenuItemTemplate& item : menu.items) {
        m_factory.trayMenu.push_back(item.separator ? "-" : item.text);
    }
    return true;
}

void CRecordingTrayView::RemoveIcon() {
    m_factory.trayShown = false;
}

void CRecordingTrayView::TrackPopupMenu(const MenuTemplate& menu, int nDefaultPos) {
    (void)menu;
    ++m_factory.trayPopups;
    m_factory.trayDefaultPos = nDefaultPos;
}

// --- the factory ------------------------------------------------------------------------------

CRecordingFactory::~CRecordingFactory() {
    for (const auto& [id, actions] : m_modalActions) {
        EXPECT_TRUE(actions.empty()) << "a modal run of template " << id << " never came";
    }
}

std::unique_ptr<CDialogView> CRecordingFactory::CreateDialogView(
    const DialogTemplate& dialogTemplate, CDialogView* pOwner, CViewEvents& events) {
    return std::make_unique<CRecordingView>(*this, dialogTemplate, &events,
                                            dynamic_cast<CRecordingView*>(pOwner));
}

std::unique_ptr<CDialogView> CRecordingFactory::CreatePageView(const DialogTemplate& pageTemplate,
                                                               CDialogView& parent,
                                                               int nInsertAfterId) {
    (void)nInsertAfterId;
    auto& owner = dynamic_cast<CRecordingView&>(parent);
    return std::make_unique<CRecordingView>(*this, pageTemplate, &owner.Events(), &owner);
}

std::unique_ptr<CTrayView> CRecordingFactory::CreateTrayView(CDialogView& owner) {
    (void)owner;
    return std::make_unique<CRecordingTrayView>(*this);
}

CRecordingView& CRecordingFactory::Find(int nTemplateId) const {
    for (auto it = m_views.rbegin(); it != m_views.rend(); ++it) {
        if ((*it)->Template().id == nTemplateId) {
            return **it;
        }
    }
    ADD_FAILURE() << "no view of template " << nTemplateId;
    static CRecordingFactory none;
    static CRecordingView nothing(none, DialogTemplate(), nullptr, nullptr);
    return nothing;
}

bool CRecordingFactory::Exists(int nTemplateId) const {
    return std::any_of(m_views.begin(), m_views.end(), [nTemplateId](CRecordingView* view) {
        return view->Template().id == nTemplateId;
    });
}

void CRecordingFactory::OnModal(int nTemplateId, std::function<void(CRecordingView&)> action) {
    m_modalActions[nTemplateId].push_back(std::move(action));
}

std::vector<std::string> CRecordingFactory::BoxTexts() const {
    std::vector<std::string> texts;
    for (const RecordedBox& box : boxes) {
        texts.push_back(box.text);
    }
    return texts;
}
