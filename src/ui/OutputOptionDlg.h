#pragma once
// The Output Option dialog: loop, delay, interface and the settings of that interface on one
// of two pages. It edits a private copy of the whole option record. DoModal ends with 0
// (cancelled), 1 (OK, nothing changed) or 2 (OK, something changed); only after 2 does the
// caller take the record back with GetOptionData. A delay that does not read as a 32-bit number
// of milliseconds is refused with a message and the dialog stays open.
// The page of the chosen interface hangs under the interface group: its top left on the hidden
// marker, OK and Cancel moved down by its height and a gap, the dialog as much taller than its
// template size (in the view's pixels). User-interface thread only.
#include <memory>
#include <vector>

#include "ui/OptionDialog.h"

class CPropertyDlg;
class CClientPropertyDlg;
class CRS232PropertyDlg;

class COutputOptionDlg : public COptionDialog {
  public:
    explicit COutputOptionDlg(CViewFactory& factory);
    ~COutputOptionDlg() override;

    // Handlers of the dialog's commands; public so that a caller (or a test) can drive them.
    void OnButtonOk() override;
    void OnRadioTcpClient();
    void OnRadioUdpClient();
    void OnRadioRS232();

    void OnCommand(int nId) override;

    CClientPropertyDlg* ClientPage() const { return m_pClientPage.get(); }
    CRS232PropertyDlg* RS232Page() const { return m_pRS232Page.get(); }

  protected:
    // Creates the pages and fills the controls.
    bool OnInitDialog() override;
    void OnDestroy() override;

  private:
    void InitControls();
    void HideAllPages();
    void ShowPage(CPropertyDlg* pPage);
    void MoveControlBy(int nId, int nDistance);

    ViewRect m_rcInitial;
    std::vector<CPropertyDlg*> m_pageList;
    int m_nButtonShift = 0;
    std::unique_ptr<CClientPropertyDlg> m_pClientPage;
    std::unique_ptr<CRS232PropertyDlg> m_pRS232Page;
};
