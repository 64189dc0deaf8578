#pragma once
// What the two option dialogs share: a private copy of the whole option record handed in with
// SetOptionData, a modal run that ends with 0 (cancelled), 1 (OK, nothing changed) or 2 (OK,
// something changed), GetOptionData after a 2, and the key rule: Escape cancels and Enter runs
// OK whichever control has the focus (the dialog's own OK and Cancel are not default buttons,
// and a page's keys count as the dialog's), except on the focused Cancel button, where Enter
// cancels. The close box cancels.
// User-interface thread only.
#include "options/OptionRecord.h"
#include "ui/Dialog.h"

class COptionDialog : public CDialog {
  public:
    void SetOptionData(const OptionRecord& option);
    void GetOptionData(OptionRecord& option) const;

    virtual void OnButtonOk() = 0;
    // Cancel, Escape and the close box: the dialog ends with 0.
    void OnButtonCancel();

    void OnCommand(int nId) override;
    void OnKeyDown(int nVirtualKey, int nFocusId) override;
    void OnSysCommand(unsigned nId) override;

  protected:
    // The dialog of template `nTemplateId`, whose OK and Cancel buttons have the IDs `nOkId` and
    // `nCancelId`.
    COptionDialog(CViewFactory& factory, int nTemplateId, int nOkId, int nCancelId);

    OptionRecord m_optionNew;
    OptionRecord m_optionOld;

  private:
    int m_nOkId;
    int m_nCancelId;
};
