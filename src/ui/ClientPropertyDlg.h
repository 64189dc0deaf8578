#pragma once
// The "TCP/UDP Client Property" page: remote IPv4 address and port, used by both the TCP and
// the UDP client. User-interface thread only. Nothing is validated here: a zero address or port
// is stored as it is and refused only when a connection is attempted.
#include "ui/PropertyDlg.h"

class CClientPropertyDlg : public CPropertyDlg {
  public:
    CClientPropertyDlg();

    void SetProperty(const OptionRecord& source) override;
    void GetProperty(OptionRecord& destination) override;

  protected:
    bool OnInitDialog() override;

  private:
    ClientSettings m_settings;
};
