#include "ui/AboutDlg.h"

#include "ProgramVersion.h"
#include "platform/Trace.h"
#include "ui/ControlIds.h"

CAboutDlg::CAboutDlg(CViewFactory& factory) : CDialog(factory, IDD_ABOUTBOX) {
    // The template's version line holds the text it was laid out with; the build's version,
    // defined once for the whole program, replaces it: "Tillstream Version 1.0".
    const std::string versionPrefix = std::string(kProgramName) + " Version ";
    for (ControlTemplate& control : EditableTemplate().controls) {
        if (control.kind == "static" && control.text.starts_with(versionPrefix)) {
            control.text = versionPrefix + std::to_string(kProgramVersionMajor) + "." +
                           std::to_string(kProgramVersionMinor);
        }
    }
}
