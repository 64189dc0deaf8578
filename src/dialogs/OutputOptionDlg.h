#pragma once
// The Output Option dialog: loop, delay, interface and the settings of that interface on one
// of two pages. It edits a private copy of the whole option record. DoModal ends with 0
// (cancelled), 1 (OK, nothing changed) or 2 (OK, something changed); only after 2 does the
// caller take the record back with GetOptionData. GUI thread only.
#include <QDialog>
#include <QList>
#include <QRect>

#include "dialogs/TemplateWidgets.h"
#include "options/OptionRecord.h"

class CPropertyDlg;
class CClientPropertyDlg;
class CRS232PropertyDlg;

class COutputOptionDlg : public QDialog {
    Q_OBJECT
  public:
    explicit COutputOptionDlg(QWidget* parent = nullptr);
    ~COutputOptionDlg() override;

    void SetOptionData(const OptionRecord& option);
    void GetOptionData(OptionRecord& option) const;
    int DoModal();

    // Handlers of the dialog's commands; public so that a caller (or a test) can drive them.
    void OnButtonOk();
    void OnButtonCancel();
    void OnRadioTcpClient();
    void OnRadioUdpClient();
    void OnRadioRS232();

    QWidget* Control(int id) const { return m_widgets.Control(id); }
    CClientPropertyDlg* ClientPage() const { return m_pClientPage; }
    CRS232PropertyDlg* RS232Page() const { return m_pRS232Page; }
    // The dialog's client area as it was before any page was shown.
    QRect InitialRect() const { return m_rcInitial; }

    // Creates the pages and fills the controls; DoModal runs it once before the dialog shows.
    bool OnInitDialog();

  public slots:
    void reject() override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void InitControls();
    void HideAllPages();
    void ShowPage(CPropertyDlg* pPage);
    void MoveControlBy(QWidget* pControl, int nDistance);
    // Enter and Escape pressed anywhere in the dialog, pages included.
    bool PreTranslateKey(QObject* watched, QEvent* event);

    OptionRecord m_optionNew;
    OptionRecord m_optionOld;
    QRect m_rcInitial;
    QList<CPropertyDlg*> m_pageList;
    int m_nButtonShift = 0;
    CClientPropertyDlg* m_pClientPage = nullptr;
    CRS232PropertyDlg* m_pRS232Page = nullptr;

    CTemplateWidgets m_widgets;
    bool m_bInitialized = false;
};
