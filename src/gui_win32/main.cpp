// Tillstream's window on Windows: plays a file of POS data to a receiving device, line by line.
//
//   tillstream.exe [--load FILE]
//
// --load FILE loads FILE when the window opens, exactly as if it had been chosen with "...".
#include <windows.h>

#include <objbase.h>

#include <string>
#include <vector>

#include "gui_win32/Win32ViewFactory.h"
#include "ui/TillstreamApp.h"

int main(int argc, char** argv) {
    // The folder chooser is a shell object and needs the apartment.
    const HRESULT initialised = OleInitialize(nullptr);
    // The arguments arrive in the active code page, which the manifest makes UTF-8.
    const std::vector<std::string> args(argv, argv + argc);
    {
        CWin32ViewFactory factory(GetModuleHandleA(nullptr));
        CTillstreamApp theApp(factory);
        theApp.InitInstance(CTillstreamApp::LoadArgument(args));
    }
    if (SUCCEEDED(initialised)) {
        OleUninitialize();
    }
    return 0;
}
