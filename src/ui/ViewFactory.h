#pragma once
// Makes the views the ui drives: a window or a page from a dialog template, and a window's tray
// icon. A view's controls are made from the template with its IDs, texts, rectangles (converted
// from dialog units), initial visibility and enabled state, and its tab order.
// User-interface thread only. A window that cannot be made is reported as nullptr.
#include <memory>

#include "ui/DialogTemplate.h"
#include "ui/DialogView.h"
#include "ui/TrayView.h"
#include "ui/ViewEvents.h"

class CViewFactory {
  public:
    virtual ~CViewFactory() = default;

    // A window of `dialogTemplate` with its controls, hidden until its RunModal. `pOwner` is the
    // window it is modal to (nullptr: the program's main window, or a window modal to the whole
    // program). The user's commands go to `events`.
    virtual std::unique_ptr<CDialogView> CreateDialogView(const DialogTemplate& dialogTemplate,
                                                          CDialogView* pOwner,
                                                          CViewEvents& events) = 0;
    // A page of `pageTemplate` inside `parent`, hidden, at the parent's top left. Its controls
    // come in the parent's tab order after the parent's control `nInsertAfterId`; keys pressed
    // in it reach the parent's events. Destroy it before its parent.
    virtual std::unique_ptr<CDialogView> CreatePageView(const DialogTemplate& pageTemplate,
                                                        CDialogView& parent,
                                                        int nInsertAfterId) = 0;
    // The tray icon of `owner`, not yet shown; its notifications and the commands of its menu
    // go to the owner's events. Destroy it before its owner.
    virtual std::unique_ptr<CTrayView> CreateTrayView(CDialogView& owner) = 0;
};
