#pragma once
// The application object: sets up the toolkit and the program's resources, runs the main
// window until it ends and then lets the program exit. GUI thread only; nothing here fails.
#include <QApplication>

class CTillstreamApp : public QApplication {
    Q_OBJECT
  public:
    CTillstreamApp(int& argc, char** argv);

    // Shows the main window and runs until it ends. Returns false: the program then exits
    // instead of running a loop of its own.
    bool InitInstance();
};
