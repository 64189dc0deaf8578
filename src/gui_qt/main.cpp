// Tillstream's window: plays a file of POS data to a receiving device, line by line.
//
//   tillstream [--load FILE]
//
// --load FILE loads FILE when the window opens, exactly as if it had been chosen with "..."
// (a file that does not exist gets the same message), so that a launcher or a script can open
// the window on a data file. Other arguments are left to Qt.
#include <QApplication>
#include <QIcon>
#include <string>
#include <vector>

#include "gui_qt/QtViewFactory.h"
#include "gui_qt/Resources.h"
#include "platform/Trace.h"
#include "ui/TillstreamApp.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(kProgramName));
    QApplication::setOrganizationName(QStringLiteral("VAZ"));
    QApplication::setDesktopFileName(QStringLiteral("org.vaz.Tillstream"));
    EnsureTillstreamResources();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/tillstream.png")));
    // Minimising hides the window to the tray; only the window's end ends the program.
    QApplication::setQuitOnLastWindowClosed(false);

    // Qt has taken its own arguments out of argv by now.
    const std::vector<std::string> args(argv, argv + argc);
    CQtViewFactory factory;
    CTillstreamApp theApp(factory);
    theApp.InitInstance(CTillstreamApp::LoadArgument(args));
    return 0;
}
