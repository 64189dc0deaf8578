#pragma once
// The notification-area icon of a window as a view gives it (Shell_NotifyIconA, TrackPopupMenu):
// the icon with its tip, and a popup menu at the cursor. What a notification means is the ui's
// (CTrayIcon), the icon's menu included: the view only passes the clicks on the icon on, as
// OnTrayNotification(icon id, mouse message) of its window's events, and the chosen menu item as
// OnCommand(item id).
// User-interface thread only. AddIcon reports by its result whether there is a notification area.
#include <string>

#include "ui/MenuTemplate.h"

class CTrayView {
  public:
    virtual ~CTrayView() = default;

    // NIM_ADD: the icon `nId` with the tip `tip` (at most 127 characters), notifications sent as
    // `nCallbackMessage`. False when there is no notification area.
    virtual bool AddIcon(unsigned nId, unsigned nCallbackMessage, const std::string& tip) = 0;
    // NIM_DELETE.
    virtual void RemoveIcon() = 0;
    // TrackPopupMenu at the cursor, item `nDefaultPos` the default; the item chosen (if any)
    // reaches the window as a command.
    virtual void TrackPopupMenu(const MenuTemplate& menu, int nDefaultPos) = 0;
};
