#pragma once
// The Input Option dialog: capture folder and the capture COM port with its line settings.
// It edits a private copy of the whole option record. DoModal ends with 0 (cancelled), 1 (OK,
// nothing changed) or 2 (OK, something changed); only after 2 does the caller take the record
// back with GetOptionData. Data bits that do not read as a number, and a chosen folder too long
// for the record, are refused with a message and the dialog stays open. GUI thread only.
#include <QDialog>

#include "dialogs/TemplateWidgets.h"
#include "options/OptionRecord.h"

class CInputOptionDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CInputOptionDlg(QWidget* parent = nullptr);
    ~CInputOptionDlg() override;

    void SetOptionData(const OptionRecord& option);
    void GetOptionData(OptionRecord& option) const;
    int DoModal();

    // Handlers of the dialog's commands; public so that a caller (or a test) can drive them.
    void OnButtonOk();
    void OnButtonCancel();
    void OnButtonBrowse();

    QWidget* Control(int id) const { return m_widgets.Control(id); }

    // Fills the controls from the record handed in; DoModal runs it once before the dialog shows.
    bool OnInitDialog();

  public slots:
    void reject() override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void InitControls();

    OptionRecord m_optionNew;
    OptionRecord m_optionOld;

    CTemplateWidgets m_widgets;
    bool m_bInitialized = false;
};
