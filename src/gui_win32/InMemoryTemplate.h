#pragma once
// A dialog template of the system's dialog manager (DLGTEMPLATEEX and its DLGITEMTEMPLATEEX
// items) built in memory from one of the program's templates: the same dialog units, font,
// styles, texts and IDs, and each control kind as its system window class (the list control
// SysListView32, the progress bar msctls_progress32, the IP address control SysIPAddress32).
// CreateDialogIndirectParamA makes the window from it; the dialog manager converts the units.
// Any thread may build one; a template whose control kind is unknown is a build fault of the
// resources and is left out (the window then lacks that control).
#include <windows.h>

#include <string>
#include <vector>

#include "ui/DialogTemplate.h"

class CInMemoryTemplate {
  public:
    // `windowClass`: the class the window registers (empty: the dialog manager's own). A page
    // (template style "child") is made a control of its parent (DS_CONTROL), so that tabbing
    // goes through its controls. The window is left hidden whatever the template says: its view
    // shows it when it runs.
    CInMemoryTemplate(const DialogTemplate& dialogTemplate, const std::string& windowClass);

    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(m_words.data()); }

    // The system window class of a template's control kind, or nullptr for an unknown kind.
    static const char* ClassOfKind(const std::string& kind);

  private:
    void AddWord(WORD value);
    void AddDword(DWORD value);
    void AddText(const std::string& text);
    void AlignToDword();

    std::vector<WORD> m_words;
};
