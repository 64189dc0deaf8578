#pragma once
// Makes the native Windows views of the program's windows, pages and tray icon
// (CWin32DialogView, CWin32TrayView). Making the factory readies what the views need: the
// common controls' classes (list, progress bar, IP address control) and the main window's class,
// which other programs find it by (kMainWindowClassName, with the program's icon).
// User-interface thread only. A window the system cannot make is reported as nullptr.
#include <windows.h>

#include "ui/ViewFactory.h"

// The number of the program's icon among its resources.
inline constexpr int kProgramIconId = 128;

class CWin32ViewFactory : public CViewFactory {
  public:
    explicit CWin32ViewFactory(HINSTANCE hInstance);

    std::unique_ptr<CDialogView> CreateDialogView(const DialogTemplate& dialogTemplate,
                                                  CDialogView* pOwner,
                                                  CViewEvents& events) override;
    std::unique_ptr<CDialogView> CreatePageView(const DialogTemplate& pageTemplate,
                                                CDialogView& parent, int nInsertAfterId) override;
    std::unique_ptr<CTrayView> CreateTrayView(CDialogView& owner) override;

  private:
    HINSTANCE m_hInstance;
};
