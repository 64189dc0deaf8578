#pragma once
// What the two option dialogs share: a private copy of the whole option record handed in with
// SetOptionData, a modal run that ends with 0 (cancelled), 1 (OK, nothing changed) or 2 (OK,
// something changed), GetOptionData after a 2, and the key rule: Escape cancels and Enter runs
// OK whichever control has the focus (the dialog's own OK and Cancel are not default buttons),
// except on the focused Cancel button, where Enter cancels.
// GUI thread only.
#include <QDialog>

#include "gui_qt/TemplateWidgets.h"
#include "options/OptionRecord.h"

class COptionDialog : public QDialog {
    Q_OBJECT
  public:
    ~COptionDialog() override;

    void SetOptionData(const OptionRecord& option);
    void GetOptionData(OptionRecord& option) const;
    // Initialises the dialog (once) and runs it; returns 0, 1 or 2.
    int DoModal();

    virtual bool OnInitDialog() = 0;
    virtual void OnButtonOk() = 0;
    // Cancel, Escape and the close box: the dialog ends with 0.
    void OnButtonCancel();

    QWidget* Control(int id) const { return m_widgets.Control(id); }

  public slots:
    void reject() override;

  protected:
    // Builds the controls of template `templateId`, whose Cancel button has the ID `cancelId`.
    COptionDialog(int templateId, int cancelId, QWidget* parent);
    bool eventFilter(QObject* watched, QEvent* event) override;

    OptionRecord m_optionNew;
    OptionRecord m_optionOld;
    CTemplateWidgets m_widgets;
    bool m_bInitialized = false;
    int m_nCancelId;
};
