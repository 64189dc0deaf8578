#include "ui/Dialog.h"

#include <algorithm>

CDialog::CDialog(CViewFactory& factory, int nTemplateId)
    : m_factory(factory), m_template(DialogTemplate::Load(nTemplateId)) {}

CDialog::~CDialog() {
    // A derived window has destroyed its own parts already; only the view is left.
    m_pView.reset();
}

bool CDialog::Create(CDialogView* pOwner) {
    if (m_pView) {
        return true;
    }
    m_pView = m_factory.CreateDialogView(m_template, pOwner, *this);
    if (!m_pView) {
        return false;
    }
    OnInitDialog();
    // Placed once its size is final (a dialog may grow in OnInitDialog).
    const ViewRect area = pOwner != nullptr ? pOwner->GetWindowRect() : m_pView->GetWorkArea();
    const ViewRect own = m_pView->GetWindowRect();
    m_pView->MoveWindow(std::max(area.x + (area.width - own.width) / 2, 0),
                        std::max(area.y + (area.height - own.height) / 2, 0));
    return true;
}

int CDialog::DoModal(CDialogView* pOwner) {
    if (!Create(pOwner)) {
        return -1;
    }
    const int result = m_pView->RunModal();
    Destroy();
    return result;
}

void CDialog::EndDialog(int nResult) {
    if (m_pView) {
        m_pView->EndDialog(nResult);
    }
}

void CDialog::Destroy() {
    OnDestroy();
    m_pView.reset();
}

void CDialog::DisableItem(int nId, int nNextId) {
    if (!m_pView) {
        return;
    }
    if (m_pView->GetFocus() == nId) {
        const auto canTakeFocus = [this, nId](const ControlTemplate& control) {
            return control.id != nId && control.id != -1 && control.Has("tabstop") &&
                   m_pView->IsItemEnabled(control.id) && m_pView->IsItemShown(control.id);
        };
        const ControlTemplate* next = m_template.Control(nNextId);
        if (next == nullptr || !canTakeFocus(*next)) {
            next = nullptr;
            const auto& controls = m_template.controls;
            const auto at = std::find_if(controls.begin(), controls.end(),
                                         [nId](const ControlTemplate& c) { return c.id == nId; });
            // The tab order goes round from the last control to the first.
            const std::size_t start = at == controls.end() ? 0 : (at - controls.begin()) + 1;
            for (std::size_t n = 0; n < controls.size() && next == nullptr; ++n) {
                const ControlTemplate& control = controls[(start + n) % controls.size()];
                next = canTakeFocus(control) ? &control : nullptr;
            }
        }
        if (next != nullptr) {
            m_pView->GotoDlgCtrl(next->id);
        }
    }
    m_pView->EnableItem(nId, false);
}

void CDialog::OnCommand(int nId) {
    if (nId == kIdOk) {
        OnOK();
    } else if (nId == kIdCancel) {
        OnCancel();
    }
}

void CDialog::OnKeyDown(int nVirtualKey, int nFocusId) {
    if (nVirtualKey == kVkEscape) {
        OnCancel();
        return;
    }
    if (nVirtualKey != kVkReturn) {
        return;
    }
    // A push button with the keyboard focus is the default button for that moment: Enter
    // presses it. From any other control Enter runs OK.
    const ControlTemplate* focused = m_template.Control(nFocusId);
    if (focused != nullptr && focused->kind == "pushbutton" && m_pView &&
        m_pView->IsItemEnabled(nFocusId)) {
        OnCommand(nFocusId);
        return;
    }
    OnOK();
}

void CDialog::OnSysCommand(unsigned nId) {
    if ((nId & kScMask) == kScClose) {
        OnCancel();
    } else if ((nId & kScMask) == kScMinimize && m_pView) {
        // The system's own meaning, which a native view leaves to the ui.
        m_pView->ShowWindow(kSwMinimize);
    }
}
