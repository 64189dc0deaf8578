#pragma once
// One window (a dialog or a page inside one) as the ui drives it: its controls by the IDs of its
// template, the window itself, its modal run, and the prompts it owns. Each operation is what a
// dialog item or window call of the system does (named beside it), so a native view implements
// it with that call and a toolkit view with its nearest widget operation; no operation carries a
// decision of the program's.
// Text is 8-bit text as the file system and the option record hold it (UTF-8 here and in the
// Windows build). Pixels are the window's own; positions are in the dialog's client area.
// Threads: user-interface thread only, except Post (any thread). An operation on an ID the
// template does not have does nothing (reads give empty text, 0, false). Nothing throws.
#include <cstdint>
#include <string>
#include <vector>

#include "ui/UiThread.h"

class CListSource;

// A rectangle in pixels.
struct ViewRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

class CDialogView : public CUiThread {
  public:
    virtual ~CDialogView() = default;

    // --- controls -----------------------------------------------------------------------------
    // SetDlgItemText / GetDlgItemText. For an editable combo box the text is its field's; for a
    // drop-down list the selected item's (empty without a selection).
    virtual void SetItemText(int nId, const std::string& text) = 0;
    virtual std::string GetItemText(int nId) const = 0;
    // EnableWindow / IsWindowEnabled on the control.
    virtual void EnableItem(int nId, bool bEnable) = 0;
    virtual bool IsItemEnabled(int nId) const = 0;
    // ShowWindow(SW_SHOW / SW_HIDE) on the control, and whether it is shown (its own WS_VISIBLE,
    // whatever the window's).
    virtual void ShowItem(int nId, bool bShow) = 0;
    virtual bool IsItemShown(int nId) const = 0;
    // GetFocus: the ID of the control of this window, or of a page inside it, that has the
    // keyboard focus (-1: none of them). GotoDlgCtrl: gives control `nId` the focus as Tab
    // would (WM_NEXTDLGCTL).
    virtual int GetFocus() const = 0;
    virtual void GotoDlgCtrl(int nId) = 0;
    // CheckDlgButton / IsDlgButtonChecked, for check boxes and radio buttons alike (checking a
    // radio button does not clear the others of its group).
    virtual void CheckItem(int nId, bool bCheck) = 0;
    virtual bool IsItemChecked(int nId) const = 0;

    // Combo boxes: CB_RESETCONTENT; CB_INSERTSTRING at the end (never sorted, even in a list
    // with the sort style); CB_SETCURSEL (-1: no selection, and an editable field is emptied).
    virtual void ResetContent(int nId) = 0;
    virtual void AddString(int nId, const std::string& text) = 0;
    virtual void SetCurSel(int nId, int nIndex) = 0;

    // IPv4 address control: IPM_SETADDRESS / IPM_GETADDRESS, host byte order (the first dotted
    // number in the most significant byte); a blank field reads as 0.
    virtual void SetAddress(int nId, std::uint32_t dwAddress) = 0;
    virtual std::uint32_t GetAddress(int nId) const = 0;

    // Report list views. The client width (GetClientRect), LVM_INSERTCOLUMN with a width in
    // pixels and an alignment (kColumnLeft, kColumnCenter), LVM_DELETEALLITEMS, and one row of
    // column texts appended (LVM_INSERTITEM and LVM_SETITEMTEXT).
    virtual int GetListClientWidth(int nId) const = 0;
    virtual void InsertListColumn(int nId, int nColumn, const std::string& heading, int nWidth,
                                  int nAlign) = 0;
    virtual void DeleteAllListItems(int nId) = 0;
    virtual void AddListRow(int nId, const std::vector<std::string>& texts) = 0;
    // A virtual list (template style "ownerdata"): the rows are asked of `pSource` when shown;
    // LVM_SETITEMCOUNT tells how many there are and redraws them all.
    virtual void SetListSource(int nId, const CListSource* pSource) = 0;
    virtual void SetListItemCount(int nId, int nCount) = 0;
    // LVM_SETITEMSTATE with LVIS_SELECTED: selects or unselects item `nIndex` (-1: every item),
    // leaving the others as they are; only in a list of the single-selection style does
    // selecting an item unselect the one selected before.
    virtual void SetListItemSelected(int nId, int nIndex, bool bSelected) = 0;
    // LVM_GETTOPINDEX, LVM_GETCOUNTPERPAGE (whole rows that fit), and scrolling so that item
    // `nTop` is the first shown.
    virtual int GetListTopIndex(int nId) const = 0;
    virtual int GetListCountPerPage(int nId) const = 0;
    virtual void SetListTopIndex(int nId, int nTop) = 0;

    // Progress bar: PBM_SETRANGE, PBM_SETPOS.
    virtual void SetProgressRange(int nId, int nLower, int nUpper) = 0;
    virtual void SetProgressPos(int nId, int nPos) = 0;

    // A control's rectangle in the dialog's client area, and moving it there without resizing.
    virtual ViewRect GetItemRect(int nId) const = 0;
    virtual void MoveItem(int nId, int x, int y) = 0;

    // --- the window -----------------------------------------------------------------------------
    // GetWindowRect (a page: in its parent's client area); resizing without moving and moving
    // without resizing (SetWindowPos with SWP_NOMOVE, SWP_NOSIZE).
    virtual ViewRect GetWindowRect() const = 0;
    // SystemParametersInfo(SPI_GETWORKAREA): the part of the screen that task bars and panels
    // leave to windows, in screen pixels.
    virtual ViewRect GetWorkArea() const = 0;
    virtual void SetWindowSize(int nWidth, int nHeight) = 0;
    virtual void MoveWindow(int x, int y) = 0;
    // ShowWindow with kSwHide, kSwShow, kSwShowNormal or kSwMinimize.
    virtual void ShowWindow(int nCmdShow) = 0;
    // SetForegroundWindow alone; and SetForegroundWindow, SetActiveWindow, BringWindowToTop.
    virtual void SetForegroundWindow() = 0;
    virtual void BringToFront() = 0;
    // SetWindowPos(HWND_TOPMOST / HWND_NOTOPMOST) without moving or resizing.
    virtual void SetTopMost(bool bTopMost) = 0;
    // Appends an item to the window's system menu (an empty text: a separator); choosing it
    // comes back as OnSysCommand(nId). Where the window manager keeps the system menu to itself
    // (Linux), nothing is added.
    virtual void AppendSystemMenuItem(unsigned nId, const std::string& text) = 0;
    // Appends an item to the window's context menu (WM_CONTEXTMENU: the right button or the menu
    // key anywhere in the window, TrackPopupMenu); choosing it comes back as OnSysCommand(nId), as
    // an item of the system menu does.
    virtual void AppendContextMenuItem(unsigned nId, const std::string& text) = 0;
    // From now on other programs' show-window requests reach the window's OnShowWindowRequest.
    virtual void AcceptShowWindowRequests() = 0;

    // --- modal run
    // -------------------------------------------------------------------------------- Shows the
    // window and runs until EndDialog; returns EndDialog's result. The main window (made without
    // owner) may be hidden and shown again meanwhile; a window with an owner is modal to it.
    virtual int RunModal() = 0;
    // Ends the modal run with `nResult` and hides the window.
    virtual void EndDialog(int nResult) = 0;

    // --- prompts owned by this window, each modal to it -----------------------------------------
    // MessageBoxA; returns the button pressed (kIdOk).
    virtual int ShowMessageBox(const std::string& text, const std::string& caption,
                               unsigned nFlags) = 0;
    // GetOpenFileNameA with the one filter `filter` ("All Files(*.*)"); a name that does not
    // exist may be typed in. False when the user cancelled.
    virtual bool ChooseOpenFile(const std::string& filter, std::string& path) = 0;
    // SHBrowseForFolderA titled `title`, from the whole name space. False when cancelled.
    virtual bool ChooseFolder(const std::string& title, std::string& folder) = 0;
};
