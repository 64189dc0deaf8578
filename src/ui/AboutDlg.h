#pragma once
// The About box: the program's icon, name and version and one line on what it does, with an OK
// button that closes it (as do Enter, Esc and the close box). User-interface thread only.
#include "ui/Dialog.h"

class CAboutDlg : public CDialog {
  public:
    explicit CAboutDlg(CViewFactory& factory);
};
