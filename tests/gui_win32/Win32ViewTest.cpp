// The native Windows window, made in this process and driven through its real controls by ID as
// a user's clicks and typing reach them: what only this view can get wrong. Every control of the
// templates exists with its ID, system class and rectangle; the Output Option dialog places its
// page on the marker and stores what was typed in the registry; a file that cannot be opened is
// said in a message box; Output Start plays a file to a loopback receiver while one line of the
// list, the current one, is selected; Enter on the focused button starts and stops a run from the
// keyboard alone, and the focus keeps to an enabled control, also while another window is
// active; minimising hides the window to the tray and the registered show-window message brings
// it back. Runs under Wine with a display.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "LoopbackServer.h"
#include "RunOptions.h"
#include "gui_win32/Win32ViewFactory.h"
#include "options/OptionRecord.h"
#include "options/OptionStore.h"
#include "options/Registry.h"
#include "platform/ShowWindowRequest.h"
#include "ui/ControlIds.h"
#include "ui/DialogTemplate.h"
#include "ui/TillstreamDlg.h"

namespace {
constexpr auto kWait = std::chrono::seconds(10);  // only against hanging

// The system class each kind of template control must be made as.
const std::map<std::string, std::string> kClassOfKind = {
    {"pushbutton", "Button"},
    {"checkbox", "Button"},
    {"radio", "Button"},
    {"groupbox", "Button"},
    {"edit", "Edit"},
    {"static", "Static"},
    {"icon", "Static"},
    {"frame", "Static"},
    {"combobox", "ComboBox"},
    {"listview", "SysListView32"},
    {"progress", "msctls_progress32"},
    {"ipaddress", "SysIPAddress32"},
};

std::string ClassOf(HWND hWnd) {
    char name[64] = {};
    GetClassNameA(hWnd, name, sizeof name);
    return name;
}

std::string TextOf(HWND hWnd) {
    char text[256] = {};
    GetWindowTextA(hWnd, text, sizeof text);
    return text;
}

RECT RectInParent(HWND hWnd, HWND hParent) {
    RECT rect{};
    GetWindowRect(hWnd, &rect);
    MapWindowPoints(HWND_DESKTOP, hParent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// Runs the window's messages until `done` holds; false if it never did.
bool PumpUntil(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + kWait;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        MSG message{};
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

// The first visible window of this thread titled `title`.
HWND FindThreadWindow(const char* title) {
    struct Search {
        const char* title;
        HWND found;
    } search{title, nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND hWnd, LPARAM lParam) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lParam);
            if (IsWindowVisible(hWnd) && TextOf(hWnd) == s->title) {
                s->found = hWnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Checks every addressed control of `dialogTemplate` in `hDialog`: its class, and its place and
// size converted by the dialog's own units (a combo box's height is its field's, not the
// template's, which is the height of its drop-down list).
void ExpectControlsOf(HWND hDialog, const DialogTemplate& dialogTemplate,
                      const std::set<int>& movedIds = {}) {
    for (const ControlTemplate& control : dialogTemplate.controls) {
        if (control.id == -1) {
            continue;
        }
        SCOPED_TRACE("template " + std::to_string(dialogTemplate.id) + ", control " +
                     std::to_string(control.id));
        const HWND hItem = GetDlgItem(hDialog, control.id);
        ASSERT_NE(hItem, nullptr);
        EXPECT_EQ(ClassOf(hItem), kClassOfKind.at(control.kind));
        EXPECT_EQ(IsWindowVisible(hItem) != FALSE || !IsWindowVisible(hDialog),
                  !control.Has("hidden"));
        RECT units{control.rect.x, control.rect.y, control.rect.width, control.rect.height};
        MapDialogRect(hDialog, &units);
        const RECT actual = RectInParent(hItem, hDialog);
        if (movedIds.count(control.id) == 0) {
            EXPECT_EQ(actual.left, units.left);
            EXPECT_EQ(actual.top, units.top);
        }
        EXPECT_EQ(actual.right - actual.left, units.right);
        if (control.kind != "combobox") {
            EXPECT_EQ(actual.bottom - actual.top, units.bottom);
        }
    }
}

int SelectedItem(HWND hList) {
    return static_cast<int>(
        SendMessageA(hList, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}
}  // namespace

class Win32ViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // Each case starts without a stored record.
        RegDeleteTreeA(HKEY_CURRENT_USER, kOptionKeyPath);
    }

    // The main window, made and shown as the program shows it.
    HWND OpenWindow() {
        dlg = std::make_unique<CTillstreamDlg>(factory);
        EXPECT_TRUE(dlg->Create(nullptr));
        hMain = FindWindowA(kMainWindowClassName, "Tillstream");
        ShowWindow(hMain, SW_SHOW);
        return hMain;
    }

    HWND Item(int nId) const { return GetDlgItem(hMain, nId); }

    // A file of the temporary folder named `name` that holds `bytes`.
    static std::filesystem::path TempFile(const std::string& name, const std::string& bytes) {
        const std::filesystem::path file = std::filesystem::temp_directory_path() / name;
        std::ofstream(file, std::ios::binary) << bytes;
        return file;
    }

    // Clicks `nId` of the main window; `inModal` runs inside the modal dialog the click opens.
    void ClickOpeningDialog(int nId, std::function<void()> inModal) {
        dlg->View()->Post(std::move(inModal));
        SendMessageA(Item(nId), BM_CLICK, 0, 0);
    }

    CWin32ViewFactory factory{GetModuleHandleA(nullptr)};
    std::unique_ptr<CTillstreamDlg> dlg;
    HWND hMain = nullptr;
};

TEST_F(Win32ViewTest, TheMainWindowIsMadeFromItsTemplate) {
    ASSERT_NE(OpenWindow(), nullptr) << "no window of the main class titled Tillstream";
    ExpectControlsOf(hMain, DialogTemplate::Load(IDD_TILLSTREAM_DIALOG));

    // The data list's single centred column, the option list's four, the bar's range.
    char heading[64] = {};
    LVCOLUMNA column{};
    column.mask = LVCF_FMT | LVCF_TEXT;
    column.pszText = heading;
    column.cchTextMax = sizeof heading;
    ASSERT_TRUE(
        SendMessageA(Item(IDC_LIST_DATA), LVM_GETCOLUMNA, 0, reinterpret_cast<LPARAM>(&column)));
    EXPECT_STREQ(heading, "Content");
    EXPECT_EQ(column.fmt & LVCFMT_JUSTIFYMASK, LVCFMT_CENTER);
    EXPECT_FALSE(
        SendMessageA(Item(IDC_LIST_DATA), LVM_GETCOLUMNA, 1, reinterpret_cast<LPARAM>(&column)));
    const HWND hHeader =
        reinterpret_cast<HWND>(SendMessageA(Item(IDC_LIST_OPTION), LVM_GETHEADER, 0, 0));
    EXPECT_EQ(SendMessageA(hHeader, HDM_GETITEMCOUNT, 0, 0), 4);
    EXPECT_GT(SendMessageA(Item(IDC_LIST_OPTION), LVM_GETITEMCOUNT, 0, 0), 0);
    PBRANGE range{};
    SendMessageA(Item(IDC_PROGRESS), PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    EXPECT_EQ(range.iLow, 0);
    EXPECT_EQ(range.iHigh, 100);

    // About is the system menu's last item, command 0x10, after a separator.
    const HMENU hSystem = GetSystemMenu(hMain, FALSE);
    const int count = GetMenuItemCount(hSystem);
    ASSERT_GE(count, 2);
    EXPECT_EQ(GetMenuItemID(hSystem, count - 1), IDM_ABOUTBOX);
    char about[64] = {};
    GetMenuStringA(hSystem, static_cast<UINT>(count - 1), about, sizeof about, MF_BYPOSITION);
    EXPECT_STREQ(about, "&About Tillstream...");
    EXPECT_EQ(GetMenuState(hSystem, static_cast<UINT>(count - 2), MF_BYPOSITION) & MF_SEPARATOR,
              static_cast<UINT>(MF_SEPARATOR));

    // Choosing it opens the About box, modal, with the program's icon; its OK ends it.
    bool bAbout = false;
    dlg->View()->Post([&] {
        const HWND hAbout = FindThreadWindow("About Tillstream");
        ASSERT_NE(hAbout, nullptr);
        bAbout = true;
        EXPECT_FALSE(IsWindowEnabled(hMain));
        HWND hIcon = nullptr;
        for (HWND h = GetWindow(hAbout, GW_CHILD); h != nullptr; h = GetWindow(h, GW_HWNDNEXT)) {
            if ((GetWindowLongPtrA(h, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
                hIcon = h;
            }
        }
        ASSERT_NE(hIcon, nullptr);
        EXPECT_NE(SendMessageA(hIcon, STM_GETICON, 0, 0), 0);
        SendMessageA(GetDlgItem(hAbout, IDOK), BM_CLICK, 0, 0);
    });
    SendMessageA(hMain, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    EXPECT_TRUE(bAbout);
    EXPECT_EQ(FindThreadWindow("About Tillstream"), nullptr);
    EXPECT_TRUE(IsWindowEnabled(hMain));
}

TEST_F(Win32ViewTest, OptionDialogPlacesItsPageAndStoresTheRecordInTheRegistry) {
    ASSERT_NE(OpenWindow(), nullptr);

    // Esc in a field cancels the dialog as the ui says, nothing stored.
    bool bSeen = false;
    ClickOpeningDialog(IDC_BUTTON_OUTPUT_OPTION, [&] {
        const HWND hOption = FindThreadWindow("Output Option");
        ASSERT_NE(hOption, nullptr);
        bSeen = true;
        EXPECT_FALSE(IsWindowEnabled(hMain)) << "the option dialog is modal";
        PostMessageA(GetDlgItem(hOption, 1018), WM_KEYDOWN, VK_ESCAPE, 0);
    });
    EXPECT_TRUE(bSeen);
    EXPECT_TRUE(IsWindowEnabled(hMain));
    DWORD size = 0;
    EXPECT_NE(RegGetValueA(HKEY_CURRENT_USER, kOptionKeyPath, kOptionValueName, RRF_RT_ANY, nullptr,
                           nullptr, &size),
              ERROR_SUCCESS);

    bSeen = false;
    ClickOpeningDialog(IDC_BUTTON_OUTPUT_OPTION, [&] {
        const HWND hOption = FindThreadWindow("Output Option");
        ASSERT_NE(hOption, nullptr);
        bSeen = true;
        ExpectControlsOf(hOption, DialogTemplate::Load(IDD_OUTPUT_OPTION), {1004, 1005});
        // The TCP/UDP page sits on the marker, its controls made from its own template.
        const HWND hAddress = GetDlgItem(hOption, 1047);
        EXPECT_EQ(hAddress, nullptr) << "the page's controls are the page's";
        const RECT marker = RectInParent(GetDlgItem(hOption, 1056), hOption);
        const auto visiblePageWith = [hOption](int nId) {
            HWND hFound = nullptr;
            for (HWND h = GetWindow(hOption, GW_CHILD); h != nullptr;
                 h = GetWindow(h, GW_HWNDNEXT)) {
                if (GetDlgItem(h, nId) != nullptr && IsWindowVisible(h)) {
                    hFound = h;
                }
            }
            return hFound;
        };
        const HWND hPage = visiblePageWith(1047);
        ASSERT_NE(hPage, nullptr);
        ExpectControlsOf(hPage, DialogTemplate::Load(IDD_CLIENT_PROPERTY));
        EXPECT_EQ(RectInParent(hPage, hOption).left, marker.left);
        EXPECT_EQ(RectInParent(hPage, hOption).top, marker.top);

        // The RS-232 radio button swaps in the other page, on the same marker, its drop-down
        // lists filled (the baud rates) and showing the stored port.
        SendMessageA(GetDlgItem(hOption, 1043), BM_CLICK, 0, 0);
        EXPECT_FALSE(IsWindowVisible(hPage));
        const HWND hSerial = visiblePageWith(1016);
        ASSERT_NE(hSerial, nullptr);
        ExpectControlsOf(hSerial, DialogTemplate::Load(IDD_RS232_PROPERTY));
        EXPECT_EQ(RectInParent(hSerial, hOption).top, marker.top);
        EXPECT_GT(SendMessageA(GetDlgItem(hSerial, 1027), CB_GETCOUNT, 0, 0), 1);
        EXPECT_EQ(TextOf(GetDlgItem(hSerial, 1016)).rfind("COM", 0), 0U);
        SendMessageA(GetDlgItem(hOption, 1046), BM_CLICK, 0, 0);
        EXPECT_TRUE(IsWindowVisible(hPage));

        // What a user types: loop on, 250 ms, TCP to 127.0.0.1:5123.
        SendMessageA(GetDlgItem(hOption, 1015), BM_CLICK, 0, 0);
        SetWindowTextA(GetDlgItem(hOption, 1018), "250");
        SendMessageA(GetDlgItem(hOption, 1046), BM_CLICK, 0, 0);
        SendMessageA(GetDlgItem(hPage, 1047), IPM_SETADDRESS, 0, MAKEIPADDRESS(127, 0, 0, 1));
        SetWindowTextA(GetDlgItem(hPage, 1048), "5123");
        SendMessageA(GetDlgItem(hOption, 1004), BM_CLICK, 0, 0);
    });
    ASSERT_TRUE(bSeen);
    EXPECT_EQ(FindThreadWindow("Output Option"), nullptr);

    DWORD type = 0;
    size = 0;
    ASSERT_EQ(RegGetValueA(HKEY_CURRENT_USER, kOptionKeyPath, kOptionValueName, RRF_RT_ANY, &type,
                           nullptr, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(size, sizeof(OptionRecord));
    OptionRecord stored = MakeDefaultOptionRecord();
    LoadStoredOptions(stored, "test");
    EXPECT_EQ(stored.loopEnabled, 1);
    EXPECT_EQ(stored.delayMs, 250U);
    EXPECT_EQ(stored.outputInterface, kInterfaceTcpClient);
    EXPECT_EQ(stored.remoteAddress, 0x7F000001U);
    EXPECT_EQ(stored.remotePort, 5123);
}

TEST_F(Win32ViewTest, OutputStartPlaysTheFileAndTheSelectionFollowsTheLines) {
    LoopbackTcpServer receiver;
    SaveStoredOptions(TcpOptions(receiver.Port(), 100), "test");
    const std::filesystem::path file =
        TempFile("tillstream-win32-view.txt", "L0\r\nL1\r\nL2\r\nL3\r\nL4\r\n");

    ASSERT_NE(OpenWindow(), nullptr);
    // A file that cannot be opened is said in the system's message box, with the ui's text and
    // caption and only an OK button.
    const std::string missing = (std::filesystem::temp_directory_path() / "no-such.txt").string();
    bool bBox = false;
    dlg->View()->Post([&] {
        HWND hBox = nullptr;
        while ((hBox = FindWindowExA(nullptr, hBox, "#32770", "Tillstream")) != nullptr &&
               GetWindowThreadProcessId(hBox, nullptr) != GetCurrentThreadId()) {
        }
        ASSERT_NE(hBox, nullptr);
        bBox = true;
        EXPECT_EQ(TextOf(GetDlgItem(hBox, 0xFFFF)), "ERROR - Can't Open file.\r\n" + missing);
        EXPECT_NE(GetDlgItem(hBox, IDOK), nullptr);
        EXPECT_EQ(GetDlgItem(hBox, IDCANCEL), nullptr);
        SendMessageA(hBox, WM_COMMAND, IDOK, 0);
    });
    dlg->LoadChosenFile(missing);
    EXPECT_TRUE(bBox);

    dlg->LoadChosenFile(file.string());
    EXPECT_EQ(TextOf(Item(IDC_EDIT_DATA_FILE)), file.string());
    const HWND hList = Item(IDC_LIST_DATA);
    EXPECT_EQ(SendMessageA(hList, LVM_GETITEMCOUNT, 0, 0), 5);

    SendMessageA(Item(IDC_BUTTON_OUTPUT_START), BM_CLICK, 0, 0);
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_BUTTON_OUTPUT_START)));
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_BUTTON_OUTPUT_STOP)));
    // While the run goes on, one line is selected at most, and it only moves forward, through
    // the file's lines.
    std::set<int> seen;
    int last = -1;
    bool bForward = true;
    LRESULT mostSelected = 0;
    ASSERT_TRUE(PumpUntil([&] {
        const int selected = SelectedItem(hList);
        mostSelected = std::max(mostSelected, SendMessageA(hList, LVM_GETSELECTEDCOUNT, 0, 0));
        if (selected >= 0) {
            bForward = bForward && selected >= last;
            last = selected;
            seen.insert(selected);
        }
        return IsWindowEnabled(Item(IDC_BUTTON_OUTPUT_START)) != FALSE;
    }));
    EXPECT_TRUE(bForward);
    EXPECT_EQ(mostSelected, 1);
    ASSERT_FALSE(seen.empty()) << "the list never showed the line being played";
    EXPECT_LE(*seen.rbegin(), 4);
    ASSERT_TRUE(receiver.WaitForBytes(20));
    EXPECT_EQ(receiver.Received(), "L0\r\nL1\r\nL2\r\nL3\r\nL4\r\n");
    // The run over: the bar stays at the last line's share, nothing selected.
    EXPECT_EQ(SendMessageA(Item(IDC_PROGRESS), PBM_GETPOS, 0, 0), 80);
    EXPECT_EQ(SelectedItem(hList), -1);
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_BUTTON_OUTPUT_STOP)));
    dlg.reset();
    std::filesystem::remove(file);
}

TEST_F(Win32ViewTest, EnterOnTheFocusedButtonStartsAndStopsAndTabStillFindsTheControls) {
    LoopbackTcpServer receiver;
    SaveStoredOptions(TcpOptions(receiver.Port(), 20, true), "test");
    const std::filesystem::path file = TempFile("tillstream-win32-keys.txt", "K0\r\nK1\r\nK2\r\n");
    ASSERT_NE(OpenWindow(), nullptr);
    dlg->LoadChosenFile(file.string());
    const HWND hList = Item(IDC_LIST_DATA);

    // Each step runs in the window's own modal loop, where a key sent to the control with the
    // focus goes the way a user's key goes; the next step is posted after the key.
    std::vector<std::function<void()>> steps;
    std::size_t next = 0;
    const auto press = [&](WPARAM key) {
        if (GetFocus() == nullptr) {
            // No control to press the key in: the keyboard can do nothing more here.
            ADD_FAILURE() << "no control has the focus at step " << next;
            dlg->View()->EndDialog(IDABORT);
            return;
        }
        PostMessageA(GetFocus(), WM_KEYDOWN, key, 1);
        if (next < steps.size()) {
            dlg->View()->Post(steps[next++]);
        }
    };
    LRESULT mostSelected = 0;
    std::vector<int> tabbed;
    steps = {
        [&] {
            SendMessageA(hMain, WM_NEXTDLGCTL,
                         reinterpret_cast<WPARAM>(Item(IDC_BUTTON_OUTPUT_START)), TRUE);
            EXPECT_EQ(GetFocus(), Item(IDC_BUTTON_OUTPUT_START));
            press(VK_RETURN);
        },
        [&] {
            // Output Start disabled itself and gave the focus to Output Stop. The run goes
            // round the file more than once, one line selected at a time.
            if (receiver.ByteCount() < 4 * 3 * 2 && GetFocus() != nullptr) {
                mostSelected =
                    std::max(mostSelected, SendMessageA(hList, LVM_GETSELECTEDCOUNT, 0, 0));
                Sleep(2);
                dlg->View()->Post(steps[next - 1]);
                return;
            }
            EXPECT_TRUE(dlg->IsOutputRunning());
            EXPECT_EQ(GetFocus(), Item(IDC_BUTTON_OUTPUT_STOP));
            press(VK_RETURN);
        },
        [&] {
            EXPECT_TRUE(IsWindowEnabled(Item(IDC_BUTTON_OUTPUT_START)));
            EXPECT_FALSE(IsWindowEnabled(Item(IDC_BUTTON_OUTPUT_STOP)));
            EXPECT_EQ(GetFocus(), Item(IDC_BUTTON_OUTPUT_START));
            EXPECT_EQ(SendMessageA(hList, LVM_GETSELECTEDCOUNT, 0, 0), 0);
            press(VK_TAB);
        },
    };
    // Six presses of Tab, each landing on a control of the window.
    for (int n = 0; n < 6; ++n) {
        steps.push_back([&, n] {
            tabbed.push_back(GetDlgCtrlID(GetFocus()));
            n + 1 < 6 ? press(VK_TAB) : press(VK_ESCAPE);
        });
    }
    dlg->View()->Post(steps[next++]);
    EXPECT_EQ(dlg->View()->RunModal(), IDCANCEL);  // Esc ended the window
    EXPECT_EQ(mostSelected, 1);
    EXPECT_EQ(tabbed, (std::vector<int>{IDC_BUTTON_OUTPUT_OPTION, IDC_LIST_OPTION, IDC_LIST_DATA,
                                        IDC_EDIT_DATA_FILE, IDC_BUTTON_SELECT_FILE,
                                        IDC_BUTTON_OUTPUT_START}));
    EXPECT_TRUE(receiver.WaitForClosed(1));
    EXPECT_EQ(receiver.Received().substr(0, 16), "K0\r\nK1\r\nK2\r\nK0\r\n");
    dlg.reset();
    std::filesystem::remove(file);
}

TEST_F(Win32ViewTest, TheFocusIsKeptAndChosenWhileAnotherWindowIsActive) {
    ASSERT_NE(OpenWindow(), nullptr);
    SendMessageA(hMain, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(IDC_BUTTON_SELECT_FILE)),
                 TRUE);
    const HWND hOther = CreateWindowExA(0, "STATIC", "other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50,
                                        nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(hOther, nullptr);
    SetActiveWindow(hOther);
    ASSERT_TRUE(PumpUntil([&] { return GetActiveWindow() == hOther; }));
    CDialogView& view = *dlg->View();
    EXPECT_EQ(view.GetFocus(), IDC_BUTTON_SELECT_FILE);
    // Choosing the focus now does not take the activation from the other window...
    view.GotoDlgCtrl(IDC_BUTTON_OUTPUT_OPTION);
    EXPECT_EQ(GetActiveWindow(), hOther);
    EXPECT_EQ(view.GetFocus(), IDC_BUTTON_OUTPUT_OPTION);
    // ...and the control chosen has it once the window is active again.
    SetActiveWindow(hMain);
    EXPECT_TRUE(PumpUntil([&] { return GetFocus() == Item(IDC_BUTTON_OUTPUT_OPTION); }));
    DestroyWindow(hOther);
}

TEST_F(Win32ViewTest, MinimisingHidesToTheTrayAndTheRegisteredMessageRestores) {
    ASSERT_NE(OpenWindow(), nullptr);
    SendMessageA(hMain, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_FALSE(IsWindowVisible(hMain)) << "no tray icon: the window stayed minimised";

    // The request another program sends: found by class and title, answered 1; lParam 0 only
    // answers, 1 restores.
    std::string answer;
    std::string errorText;
    EXPECT_EQ(SendShowWindowRequest(0, answer, 5000, errorText), kShowWindowRequestOk) << errorText;
    EXPECT_EQ(answer, "1");
    EXPECT_FALSE(IsWindowVisible(hMain));
    const UINT message = RegisterWindowMessageA(kShowWindowRequestName);
    EXPECT_EQ(SendMessageA(hMain, message, 0, 1), 1);
    EXPECT_TRUE(IsWindowVisible(hMain));
    EXPECT_FALSE(IsIconic(hMain));

    // Hidden again, a double click on the tray icon runs the menu's first item: Open.
    SendMessageA(hMain, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_FALSE(IsWindowVisible(hMain));
    EXPECT_EQ(SendMessageA(hMain, WM_TRAY_NOTIFICATION, IDR_TRAY_POPUP, WM_LBUTTONDBLCLK), 1);
    EXPECT_TRUE(IsWindowVisible(hMain));
    EXPECT_FALSE(IsIconic(hMain));

    // "Always on top" and "Normal" of the tray menu.
    SendMessageA(hMain, WM_COMMAND, ID_TRAY_ALWAYS_ON_TOP, 0);
    EXPECT_NE(GetWindowLongPtrA(hMain, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    SendMessageA(hMain, WM_COMMAND, ID_TRAY_NORMAL, 0);
    EXPECT_EQ(GetWindowLongPtrA(hMain, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
}
