#pragma once
// The About box: the program's icon, name and version and one line on what it does, with an OK
// button that closes it. Built from its dialog template. GUI thread only.
#include <QDialog>

#include "gui_qt/TemplateWidgets.h"

class CAboutDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    QWidget* Control(int id) const { return m_widgets.Control(id); }

  private:
    CTemplateWidgets m_widgets;
};
