// Tillstream's window: plays a file of POS data to a receiving device, line by line.
//
//   tillstream [--load FILE]
//
// --load FILE loads FILE when the window opens, exactly as if it had been chosen with "..."
// (a file that does not exist gets the same message), so that a launcher or a script can open
// the window on a data file. Other arguments are left to Qt.
#include <QFileInfo>
#include <QStringList>
#include <QTimer>

#include "ui/TillstreamApp.h"
#include "ui/TillstreamDlg.h"

namespace {

QString LoadArgument(const QStringList& args) {
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--load") && i + 1 < args.size()) {
            return args[i + 1];
        }
        if (args[i].startsWith(QLatin1String("--load="))) {
            return args[i].mid(7);
        }
    }
    return QString();
}

}  // namespace

int main(int argc, char** argv) {
    CTillstreamApp app(argc, argv);
    const QString load = LoadArgument(QCoreApplication::arguments());
    if (!load.isEmpty()) {
        const QString path = QFileInfo(load).absoluteFilePath();
        // Runs once the window is up, as the rest of the "..." step after the chooser.
        QTimer::singleShot(0, &app, [path] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (auto* dlg = qobject_cast<CTillstreamDlg*>(widget)) {
                    dlg->LoadChosenFile(path);
                    break;
                }
            }
        });
    }
    app.InitInstance();
    return 0;
}
