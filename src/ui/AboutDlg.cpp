#include "ui/AboutDlg.h"

#include <QPushButton>

#include "ui/DialogTemplate.h"

namespace {
constexpr int kAboutTemplate = 100;
constexpr int IDOK = 1;
}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    m_widgets.Build(DialogTemplate::Load(kAboutTemplate), this);
    if (auto* ok = m_widgets.ControlAs<QPushButton>(IDOK)) {
        ok->setDefault(true);
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    }
}
