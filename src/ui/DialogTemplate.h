#pragma once
// A window's layout as data: every control with its numeric ID, kind, text, rectangle in
// dialog units and styles, read from the JSON templates in resources/dialogs. GUI thread only.
// Loading a template that is missing or malformed is a build fault: it aborts with a message.
#include <QList>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

struct ControlTemplate {
    int id = -1;   // -1 for labels and frames nobody addresses
    QString kind;  // pushbutton, edit, static, groupbox, listview, progress, checkbox,
                   // radio, combobox, ipaddress, frame, icon
    QString text;
    QRect rect;          // dialog units: left, top, width, height
    QStringList styles;  // hidden, disabled, tabstop, readonly, number, default, ...

    bool Has(const char* style) const { return styles.contains(QLatin1String(style)); }
};

struct DialogTemplate {
    int id = 0;
    QString caption;
    QSize size;  // dialog units
    QString fontFamily;
    int fontPointSize = 8;
    QStringList styles;
    QList<ControlTemplate> controls;

    bool Has(const char* style) const { return styles.contains(QLatin1String(style)); }
    const ControlTemplate* Control(int controlId) const;

    // Reads ":/dialogs/<id>.json" from the program's resources.
    static DialogTemplate Load(int templateId);
};
