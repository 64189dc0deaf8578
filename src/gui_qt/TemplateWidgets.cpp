#include "gui_qt/TemplateWidgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QTreeView>
#include <QVariant>

#include "gui_qt/IpAddressCtrl.h"
#include "gui_qt/LineListView.h"
#include "gui_qt/Resources.h"

namespace {
constexpr char kControlIdProperty[] = "controlId";

QRect ToQRect(const TemplateRect& rect) {
    return QRect(rect.x, rect.y, rect.width, rect.height);
}

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

// A list selects one item at a time only with the single-selection style; otherwise a click
// selects one item and Ctrl or Shift with it add more, as in a list of the system's.
QAbstractItemView::SelectionMode SelectionModeOf(const ControlTemplate& control) {
    return control.Has("singlesel") ? QAbstractItemView::SingleSelection
                                    : QAbstractItemView::ExtendedSelection;
}
}  // namespace

QFont CTemplateWidgets::TemplateFont(const DialogTemplate& dialogTemplate) {
    // The fonts templates name are not on Linux machines; the family is kept as a wish and the
    // platform's sans-serif face of the same size stands in.
    QFont font(Text(dialogTemplate.fontFamily), dialogTemplate.fontPointSize);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

QRect CTemplateWidgets::PixelRect(const DialogTemplate& dialogTemplate, const TemplateRect& rect) {
    return CDialogUnits(TemplateFont(dialogTemplate)).ToPixels(ToQRect(rect));
}

QSize CTemplateWidgets::PixelSize(const DialogTemplate& dialogTemplate) {
    return CDialogUnits(TemplateFont(dialogTemplate))
        .ToPixels(QSize(dialogTemplate.width, dialogTemplate.height));
}

int CTemplateWidgets::ControlIdOf(const QWidget* widget) {
    for (const QWidget* w = widget; w != nullptr && !w->isWindow(); w = w->parentWidget()) {
        const QVariant id = w->property(kControlIdProperty);
        if (id.isValid()) {
            return id.toInt();
        }
    }
    return -1;
}

void CTemplateWidgets::Build(const DialogTemplate& dialogTemplate, QWidget* parent, bool fixSize) {
    m_font = TemplateFont(dialogTemplate);
    parent->setFont(m_font);
    m_units = std::make_unique<CDialogUnits>(m_font);
    if (fixSize) {
        parent->setFixedSize(m_units->ToPixels(QSize(dialogTemplate.width, dialogTemplate.height)));
    }
    if (!dialogTemplate.caption.empty()) {
        parent->setWindowTitle(Text(dialogTemplate.caption));
    }
    QWidget* previousTabStop = nullptr;
    QList<QWidget*> groupBoxes;
    for (const ControlTemplate& control : dialogTemplate.controls) {
        QWidget* widget = Create(control, parent);
        QRect geometry = m_units->ToPixels(ToQRect(control.rect));
        if (control.kind == "combobox") {
            // A combo box's rectangle includes its dropped list; only the field is laid out.
            geometry.setHeight(qMin(widget->sizeHint().height(), m_units->Y(13)));
        }
        widget->setGeometry(geometry);
        if (control.id != -1) {
            widget->setObjectName(QStringLiteral("control_%1").arg(control.id));
            widget->setProperty(kControlIdProperty, control.id);
            m_controls.insert(control.id, widget);
        }
        if (control.Has("hidden")) {
            widget->hide();
        }
        if (control.Has("disabled")) {
            widget->setEnabled(false);
        }
        if (control.Has("tabstop") || control.kind == "radio" || control.kind == "checkbox") {
            widget->setFocusPolicy(Qt::StrongFocus);
            if (previousTabStop != nullptr) {
                QWidget::setTabOrder(previousTabStop, widget);
            }
            previousTabStop = widget;
            m_tabStops.append(widget);
        } else if (control.kind != "ipaddress") {
            widget->setFocusPolicy(Qt::NoFocus);
        }
        if (control.kind == "groupbox") {
            groupBoxes.append(widget);
        }
    }
    // Group boxes are frames drawn behind their neighbours, not containers.
    for (QWidget* box : groupBoxes) {
        box->lower();
    }
}

QWidget* CTemplateWidgets::Create(const ControlTemplate& control, QWidget* parent) {
    const std::string& kind = control.kind;
    if (kind == "pushbutton") {
        auto* button = new QPushButton(Text(control.text), parent);
        button->setAutoDefault(false);
        button->setDefault(control.Has("default"));
        return button;
    }
    if (kind == "edit") {
        auto* edit = new QLineEdit(Text(control.text), parent);
        edit->setReadOnly(control.Has("readonly"));
        edit->setFrame(control.Has("border"));
        if (control.Has("number")) {
            // Like a digits-only edit: typing is limited to digits, text set by code is not.
            edit->setValidator(new QRegularExpressionValidator(
                QRegularExpression(QStringLiteral("[0-9]*")), edit));
        }
        return edit;
    }
    if (kind == "static") {
        auto* label = new QLabel(Text(control.text), parent);
        label->setWordWrap(control.rect.height > 10);
        return label;
    }
    if (kind == "icon") {
        EnsureTillstreamResources();
        auto* label = new QLabel(parent);
        label->setPixmap(QIcon(QStringLiteral(":/icons/tillstream.png"))
                             .pixmap(m_units->ToPixels(ToQRect(control.rect)).size()));
        return label;
    }
    if (kind == "groupbox") {
        return new QGroupBox(Text(control.text), parent);
    }
    if (kind == "listview" && control.Has("ownerdata")) {
        // A list that may hold millions of rows keeps next to nothing per row.
        auto* view = new CLineListView(parent);
        view->setSelectionMode(SelectionModeOf(control));
        view->horizontalHeader()->setVisible(!control.Has("noheader"));
        view->setFrameShape(control.Has("border") ? QFrame::StyledPanel : QFrame::NoFrame);
        return view;
    }
    if (kind == "listview") {
        auto* view = new QTreeView(parent);
        view->setRootIsDecorated(false);
        view->setItemsExpandable(false);
        view->setUniformRowHeights(true);
        view->setAllColumnsShowFocus(true);
        view->setSelectionMode(SelectionModeOf(control));
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->header()->setVisible(!control.Has("noheader"));
        view->header()->setStretchLastSection(false);
        view->setFrameShape(control.Has("border") ? QFrame::StyledPanel : QFrame::NoFrame);
        return view;
    }
    if (kind == "progress") {
        auto* bar = new QProgressBar(parent);
        bar->setTextVisible(false);
        return bar;
    }
    if (kind == "checkbox") {
        return new QCheckBox(Text(control.text), parent);
    }
    if (kind == "radio") {
        return new QRadioButton(Text(control.text), parent);
    }
    if (kind == "combobox") {
        auto* combo = new QComboBox(parent);
        combo->setEditable(!control.Has("dropdownlist"));
        combo->setInsertPolicy(QComboBox::NoInsert);
        return combo;
    }
    if (kind == "ipaddress") {
        return new CIpAddressCtrl(parent);
    }
    if (kind == "frame") {
        auto* frame = new QFrame(parent);
        frame->setFrameShape(QFrame::NoFrame);
        return frame;
    }
    qFatal("dialog template control of unknown kind '%s'", kind.c_str());
}
