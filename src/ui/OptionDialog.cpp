#include "ui/OptionDialog.h"

#include <cstring>

COptionDialog::COptionDialog(CViewFactory& factory, int nTemplateId, int nOkId, int nCancelId)
    : CDialog(factory, nTemplateId), m_nOkId(nOkId), m_nCancelId(nCancelId) {
    std::memset(&m_optionNew, 0, sizeof(m_optionNew));
    std::memset(&m_optionOld, 0, sizeof(m_optionOld));
}

void COptionDialog::SetOptionData(const OptionRecord& option) {
    m_optionOld = option;
    m_optionNew = m_optionOld;
}

void COptionDialog::GetOptionData(OptionRecord& option) const {
    option = m_optionNew;
}

void COptionDialog::OnButtonCancel() {
    EndDialog(0);
}

void COptionDialog::OnCommand(int nId) {
    if (nId == m_nOkId) {
        OnButtonOk();
    } else if (nId == m_nCancelId) {
        OnButtonCancel();
    }
}

void COptionDialog::OnKeyDown(int nVirtualKey, int nFocusId) {
    if (nVirtualKey == kVkEscape) {
        OnButtonCancel();
    } else if (nVirtualKey == kVkReturn) {
        // Enter runs OK from every control, the "..." button included, except from the
        // dialog's own Cancel: there it would save what the user chose to throw away.
        if (nFocusId == m_nCancelId) {
            OnButtonCancel();
        } else {
            OnButtonOk();
        }
    }
}

void COptionDialog::OnSysCommand(unsigned nId) {
    if ((nId & kScMask) == kScClose) {
        OnButtonCancel();
        return;
    }
    CDialog::OnSysCommand(nId);
}
