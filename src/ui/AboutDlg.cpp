#include "ui/AboutDlg.h"

#include "ui/ControlIds.h"

CAboutDlg::CAboutDlg(CViewFactory& factory) : CDialog(factory, IDD_ABOUTBOX) {}
