#pragma once
// The application: runs the main window until it ends and then lets the program exit. A view's
// program (its main) sets up the toolkit, makes its view factory and calls InitInstance.
// User-interface thread only; nothing here fails.
#include <string>
#include <vector>

class CViewFactory;

class CTillstreamApp {
  public:
    explicit CTillstreamApp(CViewFactory& factory) : m_factory(factory) {}

    // Shows the main window and runs until it ends; `loadPath`, when not empty, is loaded once
    // the window is up, exactly as if it had been chosen with "...". Returns false: the program
    // then exits instead of running a loop of its own.
    bool InitInstance(const std::string& loadPath);

    // The file named by "--load FILE" or "--load=FILE" among the program's arguments (the first
    // is the program's name), made absolute from the current folder; empty when there is none.
    static std::string LoadArgument(const std::vector<std::string>& args);

  private:
    CViewFactory& m_factory;
};
