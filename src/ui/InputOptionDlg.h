#pragma once
// The Input Option dialog: capture folder and the capture COM port with its line settings.
// It edits a private copy of the whole option record. DoModal ends with 0 (cancelled), 1 (OK,
// nothing changed) or 2 (OK, something changed); only after 2 does the caller take the record
// back with GetOptionData. Data bits that do not read as a number, and a chosen folder too long
// for the record, are refused with a message and the dialog stays open.
// User-interface thread only.
#include "ui/OptionDialog.h"

class CInputOptionDlg : public COptionDialog {
  public:
    explicit CInputOptionDlg(CViewFactory& factory);

    // Handlers of the dialog's commands; public so that a caller (or a test) can drive them.
    void OnButtonOk() override;
    void OnButtonBrowse();

    void OnCommand(int nId) override;

  protected:
    // Fills the controls from the record handed in.
    bool OnInitDialog() override;

  private:
    void InitControls();
};
