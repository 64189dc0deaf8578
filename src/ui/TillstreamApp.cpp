#include "ui/TillstreamApp.h"

#include <QIcon>

#include "gui_qt/Resources.h"
#include "platform/Trace.h"
#include "ui/TillstreamDlg.h"

CTillstreamApp::CTillstreamApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QString::fromLatin1(kProgramName));
    setOrganizationName(QStringLiteral("VAZ"));
    setDesktopFileName(QStringLiteral("org.vaz.Tillstream"));
    EnsureTillstreamResources();
    setWindowIcon(QIcon(QStringLiteral(":/icons/tillstream.png")));
    // Minimising hides the window to the tray; only the window's end ends the program.
    setQuitOnLastWindowClosed(false);
}

bool CTillstreamApp::InitInstance() {
    CTillstreamDlg dlg;
    // The window runs as the program's main window rather than in a modal loop of its own:
    // a hidden modal dialog would end its loop, and minimising to the tray hides the window.
    connect(&dlg, &QDialog::finished, this, &QCoreApplication::quit);
    dlg.show();
    exec();
    return false;
}
