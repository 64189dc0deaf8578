#include "gui_win32/Win32ViewFactory.h"

#include <commctrl.h>

#include "gui_win32/Win32DialogView.h"
#include "gui_win32/Win32TrayView.h"
#include "platform/ShowWindowRequest.h"

CWin32ViewFactory::CWin32ViewFactory(HINSTANCE hInstance) : m_hInstance(hInstance) {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC =
        ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_INTERNET_CLASSES;
    InitCommonControlsEx(&controls);

    // The main window is a dialog of a class of its own, so that other programs can find it.
    WNDCLASSEXA windowClass{};
    if (GetClassInfoExA(m_hInstance, kMainWindowClassName, &windowClass) == FALSE) {
        windowClass = WNDCLASSEXA{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = DefDlgProcA;
        windowClass.cbWndExtra = DLGWINDOWEXTRA;
        windowClass.hInstance = m_hInstance;
        windowClass.hIcon = LoadIconA(m_hInstance, MAKEINTRESOURCEA(kProgramIconId));
        windowClass.hIconSm = windowClass.hIcon;
        windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = kMainWindowClassName;
        RegisterClassExA(&windowClass);
    }
}

std::unique_ptr<CDialogView> CWin32ViewFactory::CreateDialogView(
    const DialogTemplate& dialogTemplate, CDialogView* pOwner, CViewEvents& events) {
    const std::string windowClass =
        dialogTemplate.Has("appwindow") ? std::string(kMainWindowClassName) : std::string();
    auto view = std::make_unique<CWin32DialogView>(
        m_hInstance, dialogTemplate, dynamic_cast<CWin32DialogView*>(pOwner), events, windowClass);
    if (!view->IsCreated()) {
        return nullptr;
    }
    return view;
}

std::unique_ptr<CDialogView> CWin32ViewFactory::CreatePageView(const DialogTemplate& pageTemplate,
                                                               CDialogView& parent,
                                                               int nInsertAfterId) {
    auto view = std::make_unique<CWin32DialogView>(
        m_hInstance, pageTemplate, dynamic_cast<CWin32DialogView&>(parent), nInsertAfterId);
    if (!view->IsCreated()) {
        return nullptr;
    }
    return view;
}

std::unique_ptr<CTrayView> CWin32ViewFactory::CreateTrayView(CDialogView& owner) {
    return std::make_unique<CWin32TrayView>(m_hInstance, dynamic_cast<CWin32DialogView&>(owner));
}
