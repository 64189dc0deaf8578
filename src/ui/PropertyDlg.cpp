#include "ui/PropertyDlg.h"

CPropertyDlg::CPropertyDlg(int nTemplateId) : m_template(DialogTemplate::Load(nTemplateId)) {}

CPropertyDlg::~CPropertyDlg() = default;

bool CPropertyDlg::CreatePage(CViewFactory& factory, CDialogView& parent, int nInsertAfterId) {
    m_pView = factory.CreatePageView(m_template, parent, nInsertAfterId);
    if (!m_pView) {
        return false;
    }
    OnInitDialog();
    return true;
}

void CPropertyDlg::DestroyPage() {
    m_pView.reset();
}
