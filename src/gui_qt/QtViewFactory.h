#pragma once
// Makes the Qt views of the program's windows, pages and tray icon (CQtDialogView, CQtTrayView).
// GUI thread only; every view can be made (never nullptr).
#include "ui/ViewFactory.h"

class CQtViewFactory : public CViewFactory {
  public:
    std::unique_ptr<CDialogView> CreateDialogView(const DialogTemplate& dialogTemplate,
                                                  CDialogView* pOwner,
                                                  CViewEvents& events) override;
    std::unique_ptr<CDialogView> CreatePageView(const DialogTemplate& pageTemplate,
                                                CDialogView& parent, int nInsertAfterId) override;
    std::unique_ptr<CTrayView> CreateTrayView(CDialogView& owner) override;
};
