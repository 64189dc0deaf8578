#include "RecordingView.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {
// Dialog units to pixels with base units of 6 by 13, edges converted as a dialog does.
int X(int units) {
    return units * 6 / 4;
}
int Y(int units) {
    return units * 13 / 8;
}

class CRecordingTrayView : public CTrayView {
  public:
    explicit CRecordingTrayView(CRecordingFactory& factory) : m_factory(factory) {}
    bool AddIcon(unsigned nId, unsigned nCallbackMessage, const std::string& tip) override {
        m_factory.trayShown = m_factory.trayAvailable;
        m_factory.trayId = nId;
        m_factory.trayCallback = nCallbackMessage;
        m_factory.trayTip = tip;
        return m_factory.trayAvailable;
    }
    void RemoveIcon() override { m_factory.trayShown = false; }
    void TrackPopupMenu(const MenuTemplate& menu, int nDefaultPos) override {
        ++m_factory.trayPopups;
        m_factory.trayDefaultPos = nDefaultPos;
        m_factory.trayMenu.clear();
        for (const MenuItemTemplate& item : menu.items) {
            m_factory.trayMenu.push_back(item.separator ? "-" : item.text);
        }
    }

  private:
    CRecordingFactory& m_factory;
};
}  // namespace

CRecordingView::CRecordingView(CRecordingFactory& factory, const DialogTemplate& dialogTemplate,
                               CViewEvents* pEvents)
    : m_factory(factory), m_template(dialogTemplate), m_pEvents(pEvents) {
    m_window = ViewRect{0, 0, X(dialogTemplate.width), Y(dialogTemplate.height)};
    for (const ControlTemplate& control : dialogTemplate.controls) {
        Control& state = m_controls[control.id];
        state.kind = control.kind;
        state.bDropList = control.Has("dropdownlist");
        state.bSingleSel = control.Has("singlesel");
        state.text = control.kind == "edit" || control.kind == "combobox" ? "" : control.text;
        state.enabled = !control.Has("disabled");
        state.visible = !control.Has("hidden");
        const TemplateRect& r = control.rect;
        state.rect =
            ViewRect{X(r.x), Y(r.y), X(r.x + r.width) - X(r.x), Y(r.y + r.height) - Y(r.y)};
    }
    m_factory.m_views.push_back(this);
}

CRecordingView::~CRecordingView() {
    std::erase(m_factory.m_views, this);
}

CRecordingView::Control& CRecordingView::Item(int nId) const {
    if (nId == -1 || !m_controls.contains(nId)) {
        ADD_FAILURE() << "template " << m_template.id << " has no control " << nId;
    }
    return m_controls[nId];
}

void CRecordingView::Click(int nId) {
    Control& control = Item(nId);
    if (!control.enabled || !control.visible) {
        ADD_FAILURE() << "control " << nId << " cannot be clicked now";
        return;
    }
    m_nFocus = nId;  // a button takes the focus as it is clicked
    if (control.kind == "checkbox") {
        control.checked = !control.checked;
    }
    for (auto& [id, other] : m_controls) {
        if (control.kind == "radio" && other.kind == "radio") {
            other.checked = id == nId;
        }
    }
    m_pEvents->OnCommand(nId);
}

void CRecordingView::GotoDlgCtrl(int nId) {
    const Control& control = Item(nId);
    if (!control.enabled || !control.visible) {
        ADD_FAILURE() << "control " << nId << " cannot take the focus now";
        return;
    }
    m_nFocus = nId;
}

void CRecordingView::Post(std::function<void()> work) {
    std::lock_guard lock(m_mutex);
    m_work.push_back(std::move(work));
    m_posted.notify_all();
}

bool CRecordingView::RunPostedUntil(const std::function<bool()>& done,
                                    std::chrono::milliseconds timeout) {
    // What is awaited may come from posted work or from elsewhere (a file, a socket): the
    // condition is looked at again at least every few milliseconds.
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        std::unique_lock lock(m_mutex);
        while (!m_work.empty()) {
            const auto work = std::move(m_work.front());
            m_work.pop_front();
            lock.unlock();
            work();
            lock.lock();
        }
        lock.unlock();
        if (done()) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        lock.lock();
        m_posted.wait_for(lock, std::chrono::milliseconds(5), [this] { return !m_work.empty(); });
    }
}

void CRecordingView::SetItemText(int nId, const std::string& text) {
    Control& control = Item(nId);
    if (control.bDropList) {
        const auto found = std::find(control.items.begin(), control.items.end(), text);
        SetCurSel(nId, found == control.items.end() ? -1 : int(found - control.items.begin()));
    } else {
        control.text = text;
    }
}

void CRecordingView::SetCurSel(int nId, int nIndex) {
    Control& control = Item(nId);
    const bool bValid = nIndex >= 0 && nIndex < static_cast<int>(control.items.size());
    control.curSel = bValid ? nIndex : -1;
    control.text = bValid ? control.items[static_cast<std::size_t>(nIndex)] : std::string();
}

void CRecordingView::InsertListColumn(int nId, int nColumn, const std::string& heading, int nWidth,
                                      int nAlign) {
    Control& list = Item(nId);
    list.headings.insert(list.headings.begin() + nColumn, heading);
    list.widths.insert(list.widths.begin() + nColumn, nWidth);
    list.aligns.insert(list.aligns.begin() + nColumn, nAlign);
}

void CRecordingView::SetListItemCount(int nId, int nCount) {
    Item(nId).count = nCount;
    Item(nId).selected.clear();
    Item(nId).top = 0;
}

void CRecordingView::SetListItemSelected(int nId, int nIndex, bool bSelected) {
    Control& list = Item(nId);
    if (nIndex < 0) {
        list.selected.clear();
        for (int i = 0; bSelected && i < list.count; ++i) {
            list.selected.insert(i);
        }
    } else if (nIndex < list.count && bSelected) {
        // As the list's item-state message: selecting adds to the selection, except in a list
        // of the single-selection style.
        if (list.bSingleSel) {
            list.selected.clear();
        }
        list.selected.insert(nIndex);
    } else {
        list.selected.erase(nIndex);
    }
}

void CRecordingView::SetListTopIndex(int nId, int nTop) {
    // A list scrolls no further than its last page allows.
    Item(nId).top = std::clamp(nTop, 0, std::max(0, Item(nId).count - kCountPerPage));
}

void CRecordingView::ShowWindow(int nCmdShow) {
    m_bVisible = nCmdShow != kSwHide;
    if (nCmdShow == kSwMinimize || nCmdShow == kSwShowNormal) {
        m_bMinimized = nCmdShow == kSwMinimize;
    }
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
    folder = m_factory.chosenFolder.value_or("");
    return m_factory.chosenFolder.has_value();
}

CRecordingFactory::~CRecordingFactory() {
    for (const auto& [id, actions] : m_modalActions) {
        EXPECT_TRUE(actions.empty()) << "a modal run of template " << id << " never came";
    }
}

std::unique_ptr<CTrayView> CRecordingFactory::CreateTrayView(CDialogView&) {
    return std::make_unique<CRecordingTrayView>(*this);
}

CRecordingView& CRecordingFactory::Find(int nTemplateId) const {
    for (auto it = m_views.rbegin(); it != m_views.rend(); ++it) {
        if ((*it)->Template().id == nTemplateId) {
            return **it;
        }
    }
    std::fprintf(stderr, "FAIL: no view of template %d\n", nTemplateId);
    std::abort();
}

bool CRecordingFactory::Exists(int nTemplateId) const {
    return std::any_of(m_views.begin(), m_views.end(),
                       [nTemplateId](auto* view) { return view->Template().id == nTemplateId; });
}
