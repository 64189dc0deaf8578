#pragma once
// A window's layout as data: every control with its numeric ID, kind, text, rectangle in dialog
// units and styles, read from the templates in resources/dialogs. The ui hands a template to the
// view factory, which makes the window from it; the ui itself reads kinds and rectangles from it.
// Any thread may load one. A template that is missing or malformed is a build fault: Load ends
// the program with a message.
#include <string>
#include <string_view>
#include <vector>

// Dialog units: left, top, width, height.
struct TemplateRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

struct ControlTemplate {
    int id = -1;       // -1 for labels and frames nobody addresses
    std::string kind;  // pushbutton, edit, static, groupbox, listview, progress, checkbox,
                       // radio, combobox, ipaddress, frame, icon
    std::string text;
    TemplateRect rect;
    std::vector<std::string> styles;  // hidden, disabled, tabstop, readonly, number, default, ...

    bool Has(std::string_view style) const;
};

struct DialogTemplate {
    int id = 0;
    std::string caption;
    int width = 0;  // dialog units
    int height = 0;
    std::string fontFamily;
    int fontPointSize = 8;
    std::vector<std::string> styles;
    std::vector<ControlTemplate> controls;

    bool Has(std::string_view style) const;
    // The control with ID `controlId`, or nullptr.
    const ControlTemplate* Control(int controlId) const;
    ControlTemplate* Control(int controlId);

    // Reads "dialogs/<id>.json" of the program's resources.
    static DialogTemplate Load(int templateId);
};
