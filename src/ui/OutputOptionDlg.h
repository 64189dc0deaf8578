#pragma once
// The Output Option dialog: loop, delay, interface and the settings of that interface on one
// of two pages. It edits a private copy of the whole option record. DoModal ends with 0
// (cancelled), 1 (OK, nothing changed) or 2 (OK, something changed); only after 2 does the
// caller take the record back with GetOptionData. GUI thread only.
#include <QList>
#include <QRect>

#include "ui/OptionDialog.h"

class CPropertyDlg;
class CClientPropertyDlg;
class CRS232PropertyDlg;

class COutputOptionDlg : public COptionDialog {
    Q_OBJECT
  public:
    explicit COutputOptionDlg(QWidget* parent = nullptr);
    ~COutputOptionDlg() override;

    // Handlers of the dialog's commands; public so that a caller (or a test) can drive them.
    void OnButtonOk() override;
    void OnRadioTcpClient();
    void OnRadioUdpClient();
    void OnRadioRS232();

    CClientPropertyDlg* ClientPage() const { return m_pClientPage; }
    CRS232PropertyDlg* RS232Page() const { return m_pRS232Page; }
    // The dialog's client area as it was before any page was shown.
    QRect InitialRect() const { return m_rcInitial; }

    // Creates the pages and fills the controls; DoModal runs it once before the dialog shows.
    bool OnInitDialog() override;

  private:
    void InitControls();
    void HideAllPages();
    void ShowPage(CPropertyDlg* pPage);
    void MoveControlBy(QWidget* pControl, int nDistance);

    QRect m_rcInitial;
    QList<CPropertyDlg*> m_pageList;
    int m_nButtonShift = 0;
    CClientPropertyDlg* m_pClientPage = nullptr;
    CRS232PropertyDlg* m_pRS232Page = nullptr;
};
