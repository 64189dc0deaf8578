#pragma once
// One page of the Output Option dialog: a child window made from its own template inside the
// dialog, holding a copy of one slice of the option record. The page copies its whole slice in
// and out, so fields it does not show travel through it unchanged. A page handles no commands:
// its keys are the dialog's. User-interface thread only; nothing here fails (a page whose view
// could not be made reads back its copy unchanged).
#include <memory>

#include "options/OptionRecord.h"
#include "ui/DialogTemplate.h"
#include "ui/DialogView.h"
#include "ui/ViewFactory.h"

class CPropertyDlg {
  public:
    explicit CPropertyDlg(int nTemplateId);
    virtual ~CPropertyDlg();
    CPropertyDlg(const CPropertyDlg&) = delete;
    CPropertyDlg& operator=(const CPropertyDlg&) = delete;

    // Copies the page's slice of `source` into the page; the controls show it once the page
    // has been created.
    virtual void SetProperty(const OptionRecord& source) = 0;
    // Reads the controls into the page's copy, then copies the whole slice into `destination`.
    virtual void GetProperty(OptionRecord& destination) = 0;

    // Makes the page, hidden, inside `parent`, its controls after `nInsertAfterId` in the
    // parent's tab order, and fills them from the copy.
    bool CreatePage(CViewFactory& factory, CDialogView& parent, int nInsertAfterId);
    // Destroys the page's window (before its parent's).
    void DestroyPage();
    CDialogView* View() const { return m_pView.get(); }

  protected:
    virtual bool OnInitDialog() = 0;

  private:
    DialogTemplate m_template;
    std::unique_ptr<CDialogView> m_pView;
};
