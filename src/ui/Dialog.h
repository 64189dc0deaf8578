#pragma once
// Base of the program's windows: one dialog template, the view made from it, its modal run and
// the dialog manager's default meaning of the user's commands: Enter presses the push button
// that has the focus and runs OK from any other control, Esc and the close box cancel. A derived
// window fills its controls in OnInitDialog and handles its commands in OnCommand.
// User-interface thread only. A view that cannot be made is reported by Create (false) and
// DoModal (-1).
#include <memory>

#include "ui/DialogTemplate.h"
#include "ui/DialogView.h"
#include "ui/ViewConstants.h"
#include "ui/ViewEvents.h"
#include "ui/ViewFactory.h"

class CDialog : public CViewEvents {
  public:
    CDialog(CViewFactory& factory, int nTemplateId);
    virtual ~CDialog();
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Makes the window (hidden) modal to `pOwner`, initialises it with OnInitDialog and centres
    // it on its owner, or on the screen's work area when it has none; it is not placed left of
    // or above the screen's origin.
    bool Create(CDialogView* pOwner);
    // Makes the window unless Create did, runs it until EndDialog, destroys it and returns the
    // result (-1 when it could not be made).
    int DoModal(CDialogView* pOwner = nullptr);
    void EndDialog(int nResult);

    // The window's view while it exists, else nullptr.
    CDialogView* View() const { return m_pView.get(); }
    const DialogTemplate& Template() const { return m_template; }

    // CViewEvents: kIdOk runs OnOK, kIdCancel OnCancel; Enter and Esc as said above; kScClose
    // runs OnCancel, kScMinimize minimises the window.
    void OnCommand(int nId) override;
    void OnKeyDown(int nVirtualKey, int nFocusId) override;
    void OnSysCommand(unsigned nId) override;

  protected:
    virtual bool OnInitDialog() { return true; }
    virtual void OnOK() { EndDialog(kIdOk); }
    virtual void OnCancel() { EndDialog(kIdCancel); }
    // Runs before the window's view is destroyed: destroy what was made inside it (pages).
    virtual void OnDestroy() {}

    // Disables control `nId`. When it has the keyboard focus, the focus goes first to `nNextId`,
    // or when that cannot take it, to the next enabled, shown tab stop after `nId` in the
    // template's order: a disabled control keeps no focus, and a window whose focus went nowhere
    // could no longer be used from the keyboard.
    void DisableItem(int nId, int nNextId = -1);

    CViewFactory& Factory() { return m_factory; }
    // The template of the window before its view is made, for a window that changes a text.
    DialogTemplate& EditableTemplate() { return m_template; }

  private:
    void Destroy();

    CViewFactory& m_factory;
    DialogTemplate m_template;
    std::unique_ptr<CDialogView> m_pView;
};
