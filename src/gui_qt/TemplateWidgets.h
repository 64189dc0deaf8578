#pragma once
// Builds the controls of a dialog template as children of a widget, each at its rectangle
// converted from dialog units, with its initial text, visibility and enabled state, and keeps
// them by numeric ID so that code and tests find a control by the ID the template gives it
// (each control's objectName is also "control_<id>"). GUI thread only.
#include <QFont>
#include <QHash>
#include <QWidget>
#include <functional>
#include <memory>

#include "gui_qt/DialogUnits.h"
#include "ui/DialogTemplate.h"

class CTemplateWidgets {
  public:
    // Makes the widget of a kind the builder does not know itself (for example "ipaddress"), or
    // of a kind it knows for some controls only: a factory that returns nullptr leaves the
    // control to the builder.
    using Factory = std::function<QWidget*(const ControlTemplate&, QWidget* parent)>;

    void RegisterKind(const QString& kind, Factory factory) { m_factories.insert(kind, factory); }

    // Sets the parent's font and fixed size (unless `fixSize` is false) from the template and
    // creates every control in template order, which is also the tab order.
    void Build(const DialogTemplate& dialogTemplate, QWidget* parent, bool fixSize = true);

    QWidget* Control(int id) const { return m_controls.value(id, nullptr); }
    template <class T>
    T* ControlAs(int id) const {
        return qobject_cast<T*>(Control(id));
    }
    const CDialogUnits& Units() const { return *m_units; }
    const QFont& Font() const { return m_font; }

    // The font a template asks for, mapped onto what this machine has.
    static QFont TemplateFont(const DialogTemplate& dialogTemplate);

  private:
    QWidget* Create(const ControlTemplate& control, QWidget* parent);

    QHash<QString, Factory> m_factories;
    QHash<int, QWidget*> m_controls;
    std::unique_ptr<CDialogUnits> m_units;
    QFont m_font;
};
