#include "ui/Dialog.h"

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
    }
}
