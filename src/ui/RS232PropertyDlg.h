#pragma once
// The "RS-232 Property" page: output COM port, baud rate, parity, data bits and stop bits.
// Its slice also carries the input serial settings, the capture folder and the reserved bytes,
// which pass through unchanged. User-interface thread only. A stored value with no list entry
// leaves its list unselected; reading an unselected port or baud list back gives 0.
#include "ui/PropertyDlg.h"

class CRS232PropertyDlg : public CPropertyDlg {
  public:
    CRS232PropertyDlg();

    void SetProperty(const OptionRecord& source) override;
    void GetProperty(OptionRecord& destination) override;

  protected:
    bool OnInitDialog() override;

  private:
    SerialSettings m_settings;
};
