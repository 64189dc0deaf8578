#include "gui_win32/InMemoryTemplate.h"

#include <commctrl.h>

#include <cstring>

namespace {
struct StyleBit {
    const char* name;
    DWORD bits;
};

// Window styles every control kind shares.
constexpr StyleBit kCommonStyles[] = {
    {"tabstop", WS_TABSTOP}, {"disabled", WS_DISABLED}, {"group", WS_GROUP},
    {"border", WS_BORDER},   {"vscroll", WS_VSCROLL},
};

DWORD StylesOf(const std::vector<std::string>& names, const StyleBit* table, std::size_t count) {
    DWORD bits = 0;
    for (const std::string& name : names) {
        for (std::size_t i = 0; i < count; ++i) {
            if (name == table[i].name) {
                bits |= table[i].bits;
            }
        }
    }
    return bits;
}

template <std::size_t N>
DWORD StylesOf(const std::vector<std::string>& names, const StyleBit (&table)[N]) {
    return StylesOf(names, table, N);
}

// The styles a control kind has of its own, from the template's style names.
DWORD KindStyles(const ControlTemplate& control) {
    const std::string& kind = control.kind;
    if (kind == "pushbutton") {
        return control.Has("default") ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
    }
    if (kind == "checkbox") {
        return control.Has("auto") ? BS_AUTOCHECKBOX : BS_CHECKBOX;
    }
    if (kind == "radio") {
        return control.Has("auto") ? BS_AUTORADIOBUTTON : BS_RADIOBUTTON;
    }
    if (kind == "groupbox") {
        return BS_GROUPBOX;
    }
    if (kind == "edit") {
        static constexpr StyleBit kEdit[] = {
            {"readonly", ES_READONLY}, {"autohscroll", ES_AUTOHSCROLL}, {"number", ES_NUMBER}};
        return ES_LEFT | StylesOf(control.styles, kEdit);
    }
    if (kind == "static") {
        return SS_LEFT;
    }
    if (kind == "icon") {
        return SS_ICON;
    }
    if (kind == "frame") {
        return SS_ETCHEDFRAME;
    }
    if (kind == "combobox") {
        static constexpr StyleBit kCombo[] = {
            {"dropdown", CBS_DROPDOWN}, {"dropdownlist", CBS_DROPDOWNLIST}, {"sort", CBS_SORT}};
        return StylesOf(control.styles, kCombo);
    }
    if (kind == "listview") {
        static constexpr StyleBit kList[] = {{"report", LVS_REPORT},
                                             {"singlesel", LVS_SINGLESEL},
                                             {"noheader", LVS_NOCOLUMNHEADER},
                                             {"showselalways", LVS_SHOWSELALWAYS},
                                             {"ownerdata", LVS_OWNERDATA}};
        return StylesOf(control.styles, kList);
    }
    return 0;  // progress, ipaddress: the class's own look
}

bool IsNumber(const std::string& text) {
    return !text.empty() && text.size() <= 5 &&
           text.find_first_not_of("0123456789") == std::string::npos;
}
}  // namespace

const char* CInMemoryTemplate::ClassOfKind(const std::string& kind) {
    static constexpr struct {
        const char* kind;
        const char* windowClass;
    } kClasses[] = {
        {"pushbutton", "Button"},
        {"checkbox", "Button"},
        {"radio", "Button"},
        {"groupbox", "Button"},
        {"edit", "Edit"},
        {"static", "Static"},
        {"icon", "Static"},
        {"frame", "Static"},
        {"combobox", "ComboBox"},
        {"listview", WC_LISTVIEWA},
        {"progress", PROGRESS_CLASSA},
        {"ipaddress", WC_IPADDRESSA},
    };
    for (const auto& entry : kClasses) {
        if (kind == entry.kind) {
            return entry.windowClass;
        }
    }
    return nullptr;
}

CInMemoryTemplate::CInMemoryTemplate(const DialogTemplate& dialogTemplate,
                                     const std::string& windowClass) {
    static constexpr StyleBit kDialogStyles[] = {
        {"popup", WS_POPUP},
        {"child", WS_CHILD},
        {"caption", WS_CAPTION},
        {"sysmenu", WS_SYSMENU},
        {"minimizebox", WS_MINIMIZEBOX},
        {"modalframe", DS_MODALFRAME},
    };
    DWORD style = DS_SETFONT | StylesOf(dialogTemplate.styles, kDialogStyles);
    if (dialogTemplate.Has("child")) {
        style |= DS_CONTROL;
    }
    const DWORD exStyle = dialogTemplate.Has("appwindow") ? WS_EX_APPWINDOW : 0;

    std::vector<const ControlTemplate*> controls;
    for (const ControlTemplate& control : dialogTemplate.controls) {
        if (ClassOfKind(control.kind) != nullptr) {
            controls.push_back(&control);
        }
    }

    AddWord(1);       // dlgVer
    AddWord(0xFFFF);  // signature: the extended template
    AddDword(0);      // helpID
    AddDword(exStyle);
    AddDword(style);
    AddWord(static_cast<WORD>(controls.size()));
    AddWord(0);  // x, y: placed by the view
    AddWord(0);
    AddWord(static_cast<WORD>(dialogTemplate.width));
    AddWord(static_cast<WORD>(dialogTemplate.height));
    AddWord(0);  // no menu
    if (windowClass.empty()) {
        AddWord(0);
    } else {
        AddText(windowClass);
    }
    AddText(dialogTemplate.caption);
    AddWord(static_cast<WORD>(dialogTemplate.fontPointSize));
    AddWord(FW_NORMAL);
    AddWord(MAKEWORD(FALSE, DEFAULT_CHARSET));  // italic, charset
    AddText(dialogTemplate.fontFamily);

    for (const ControlTemplate* control : controls) {
        AlignToDword();
        const DWORD controlStyle = WS_CHILD | (control->Has("hidden") ? 0 : WS_VISIBLE) |
                                   StylesOf(control->styles, kCommonStyles) | KindStyles(*control);
        AddDword(0);  // helpID
        AddDword(0);  // exStyle
        AddDword(controlStyle);
        AddWord(static_cast<WORD>(control->rect.x));
        AddWord(static_cast<WORD>(control->rect.y));
        AddWord(static_cast<WORD>(control->rect.width));
        AddWord(static_cast<WORD>(control->rect.height));
        AddDword(static_cast<DWORD>(control->id));  // -1 stays 0xFFFFFFFF, as IDC_STATIC
        AddText(ClassOfKind(control->kind));
        if (control->kind == "icon" && IsNumber(control->text)) {
            // The icon's resource number, not a text.
            AddWord(0xFFFF);
            AddWord(static_cast<WORD>(std::stoi(control->text)));
        } else {
            AddText(control->text);
        }
        AddWord(0);  // no creation data
    }
}

void CInMemoryTemplate::AddWord(WORD value) {
    m_words.push_back(value);
}

void CInMemoryTemplate::AddDword(DWORD value) {
    AddWord(LOWORD(value));
    AddWord(HIWORD(value));
}

void CInMemoryTemplate::AddText(const std::string& text) {
    // The template holds UTF-16; the program's texts are UTF-8.
    if (!text.empty()) {
        const int count =
            MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
        std::wstring wide(static_cast<std::size_t>(count), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                            count);
        for (wchar_t character : wide) {
            AddWord(static_cast<WORD>(character));
        }
    }
    AddWord(0);
}

void CInMemoryTemplate::AlignToDword() {
    if (m_words.size() % 2 != 0) {
        AddWord(0);
    }
}
