#pragma once
// The "TCP/UDP Client Property" page: remote IPv4 address and port, used by both the TCP and
// the UDP client. GUI thread only. Nothing is validated here: a zero address or port is stored
// as it is and refused only when a connection is attempted.
#include "gui_qt/TemplateWidgets.h"
#include "ui/PropertyDlg.h"

class CClientPropertyDlg : public CPropertyDlg {
    Q_OBJECT
  public:
    explicit CClientPropertyDlg(QWidget* parent = nullptr);

    void SetProperty(const OptionRecord& source) override;
    void GetProperty(OptionRecord& destination) override;
    void CreatePage(QWidget* parent) override;

    QWidget* Control(int id) const { return m_widgets.Control(id); }

  protected:
    virtual bool OnInitDialog();

  private:
    ClientSettings m_settings;
    CTemplateWidgets m_widgets;
};
