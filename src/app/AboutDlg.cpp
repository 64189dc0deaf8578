#include "app/AboutDlg.h"

#include <QPushButton>

#include "ProgramVersion.h"
#include "dialogs/DialogTemplate.h"
#include "platform/Trace.h"

namespace {
constexpr int kAboutTemplate = 100;
constexpr int IDOK = 1;

// "Tillstream Version 1.0": the name and the major and minor version of this build.
QString VersionLine() {
    return QStringLiteral("%1 Version %2.%3")
        .arg(QLatin1String(kProgramName))
        .arg(kProgramVersionMajor)
        .arg(kProgramVersionMinor);
}
}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    DialogTemplate about = DialogTemplate::Load(kAboutTemplate);
    // The template's version line holds the text it was laid out with; the build's version,
    // defined once for the whole program, replaces it.
    const QString versionPrefix = QLatin1String(kProgramName) + QStringLiteral(" Version ");
    for (ControlTemplate& control : about.controls) {
        if (control.kind == QLatin1String("static") && control.text.startsWith(versionPrefix)) {
            control.text = VersionLine();
        }
    }
    m_widgets.Build(about, this);
    if (auto* ok = m_widgets.ControlAs<QPushButton>(IDOK)) {
        ok->setDefault(true);
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    }
}
