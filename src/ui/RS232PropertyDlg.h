#pragma once
// The "RS-232 Property" page: output COM port, baud rate, parity, data bits and stop bits.
// Its slice also carries the input serial settings, the capture folder and the reserved bytes,
// which pass through unchanged. GUI thread only. A stored value with no list entry leaves its
// list unselected; reading an unselected port or baud list back gives 0.
#include "gui_qt/TemplateWidgets.h"
#include "ui/PropertyDlg.h"

class CRS232PropertyDlg : public CPropertyDlg {
    Q_OBJECT
  public:
    explicit CRS232PropertyDlg(QWidget* parent = nullptr);

    void SetProperty(const OptionRecord& source) override;
    void GetProperty(OptionRecord& destination) override;
    void CreatePage(QWidget* parent) override;

    QWidget* Control(int id) const { return m_widgets.Control(id); }

  protected:
    virtual bool OnInitDialog();

  private:
    SerialSettings m_settings;
    CTemplateWidgets m_widgets;
};
