#pragma once
// Builds the controls of a dialog template as children of a widget, each at its rectangle
// converted from dialog units, with its initial text, visibility and enabled state, and keeps
// them by numeric ID so that the view (and the tests) find a control by the ID the template
// gives it. Each control's objectName is "control_<id>" and its property "controlId" the ID.
// A list view with the style "ownerdata" becomes a CLineListView (rows asked for when drawn),
// any other a tree view in report style. GUI thread only; a control of a kind the builder does
// not know is a build fault and ends the program with a message.
#include <QFont>
#include <QHash>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>
#include <memory>

#include "gui_qt/DialogUnits.h"
#include "ui/DialogTemplate.h"

class CTemplateWidgets {
  public:
    // Sets the parent's font and fixed size (unless `fixSize` is false) from the template and
    // creates every control in template order, which is also the tab order.
    void Build(const DialogTemplate& dialogTemplate, QWidget* parent, bool fixSize = true);

    QWidget* Control(int id) const { return m_controls.value(id, nullptr); }
    template <class T>
    T* ControlAs(int id) const {
        return qobject_cast<T*>(Control(id));
    }
    // The controls that take the focus with Tab, in tab order.
    const QList<QWidget*>& TabStops() const { return m_tabStops; }
    const CDialogUnits& Units() const { return *m_units; }
    const QFont& Font() const { return m_font; }

    // The font a template asks for, mapped onto what this machine has.
    static QFont TemplateFont(const DialogTemplate& dialogTemplate);
    // A rectangle or size of the template in pixels of its font.
    static QRect PixelRect(const DialogTemplate& dialogTemplate, const TemplateRect& rect);
    static QSize PixelSize(const DialogTemplate& dialogTemplate);

    // The ID of the template control `widget` is, or belongs to (a field inside an address
    // control, a combo box's edit field); -1 when it is none of a template's controls.
    static int ControlIdOf(const QWidget* widget);

  private:
    QWidget* Create(const ControlTemplate& control, QWidget* parent);

    QHash<int, QWidget*> m_controls;
    QList<QWidget*> m_tabStops;
    std::unique_ptr<CDialogUnits> m_units;
    QFont m_font;
};
