#include "gui_qt/TemplateWidgets.h"

#include "gui_qt/Resources.h"

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

QFont CTemplateWidgets::TemplateFont(const DialogTemplate& dialogTemplate) {
    // The fonts templates name are not on Linux machines; the family is kept as a wish and the
    // platform's sans-serif face of the same size stands in.
    QFont font(dialogTemplate.fontFamily, dialogTemplate.fontPointSize);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

void CTemplateWidgets::Build(const DialogTemplate& dialogTemplate, QWidget* parent, bool fixSize) {
    m_font = TemplateFont(dialogTemplate);
    parent->setFont(m_font);
    m_units = std::make_unique<CDialogUnits>(m_font);
    if (fixSize) {
        parent->setFixedSize(m_units->ToPixels(dialogTemplate.size));
    }
    if (!dialogTemplate.caption.isEmpty()) {
        parent->setWindowTitle(dialogTemplate.caption);
    }
    QWidget* previousTabStop = nullptr;
    QList<QWidget*> groupBoxes;
    for (const ControlTemplate& control : dialogTemplate.controls) {
        QWidget* widget = Create(control, parent);
        QRect geometry = m_units->ToPixels(control.rect);
        if (control.kind == QLatin1String("combobox")) {
            // A combo box's rectangle includes its dropped list; only the field is laid out.
            geometry.setHeight(qMin(widget->sizeHint().height(), m_units->Y(13)));
        }
        widget->setGeometry(geometry);
        if (control.id != -1) {
            widget->setObjectName(QStringLiteral("control_%1").arg(control.id));
            m_controls.insert(control.id, widget);
        }
        if (control.Has("hidden")) {
            widget->hide();
        }
        if (control.Has("disabled")) {
            widget->setEnabled(false);
        }
        if (control.Has("tabstop") || control.kind == QLatin1String("radio") ||
            control.kind == QLatin1String("checkbox")) {
            widget->setFocusPolicy(Qt::StrongFocus);
            if (previousTabStop != nullptr) {
                QWidget::setTabOrder(previousTabStop, widget);
            }
            previousTabStop = widget;
        } else if (control.kind != QLatin1String("ipaddress")) {
            widget->setFocusPolicy(Qt::NoFocus);
        }
        if (control.kind == QLatin1String("groupbox")) {
            groupBoxes.append(widget);
        }
    }
    // Group boxes are frames drawn behind their neighbours, not containers.
    for (QWidget* box : groupBoxes) {
        box->lower();
    }
}

QWidget* CTemplateWidgets::Create(const ControlTemplate& control, QWidget* parent) {
    const QString& kind = control.kind;
    if (auto factory = m_factories.find(kind); factory != m_factories.end()) {
        if (QWidget* widget = (*factory)(control, parent)) {
            return widget;
        }
    }
    if (kind == QLatin1String("pushbutton")) {
        auto* button = new QPushButton(control.text, parent);
        button->setAutoDefault(false);
        button->setDefault(control.Has("default"));
        return button;
    }
    if (kind == QLatin1String("edit")) {
        auto* edit = new QLineEdit(control.text, parent);
        edit->setReadOnly(control.Has("readonly"));
        edit->setFrame(control.Has("border"));
        if (control.Has("number")) {
            // Like a digits-only edit: typing is limited to digits, text set by code is not.
            edit->setValidator(new QRegularExpressionValidator(
                QRegularExpression(QStringLiteral("[0-9]*")), edit));
        }
        return edit;
    }
    if (kind == QLatin1String("static")) {
        auto* label = new QLabel(control.text, parent);
        label->setWordWrap(control.rect.height() > 10);
        return label;
    }
    if (kind == QLatin1String("icon")) {
        EnsureTillstreamResources();
        auto* label = new QLabel(parent);
        label->setPixmap(QIcon(QStringLiteral(":/icons/tillstream.png"))
                             .pixmap(m_units->ToPixels(control.rect).size()));
        return label;
    }
    if (kind == QLatin1String("groupbox")) {
        return new QGroupBox(control.text, parent);
    }
    if (kind == QLatin1String("listview")) {
        auto* view = new QTreeView(parent);
        view->setRootIsDecorated(false);
        view->setItemsExpandable(false);
        view->setUniformRowHeights(true);
        view->setAllColumnsShowFocus(true);
        view->setSelectionMode(QAbstractItemView::SingleSelection);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->header()->setVisible(!control.Has("noheader"));
        view->header()->setStretchLastSection(false);
        view->setFrameShape(control.Has("border") ? QFrame::StyledPanel : QFrame::NoFrame);
        return view;
    }
    if (kind == QLatin1String("progress")) {
        auto* bar = new QProgressBar(parent);
        bar->setTextVisible(false);
        return bar;
    }
    if (kind == QLatin1String("checkbox")) {
        return new QCheckBox(control.text, parent);
    }
    if (kind == QLatin1String("radio")) {
        return new QRadioButton(control.text, parent);
    }
    if (kind == QLatin1String("combobox")) {
        auto* combo = new QComboBox(parent);
        combo->setEditable(!control.Has("dropdownlist"));
        combo->setInsertPolicy(QComboBox::NoInsert);
        return combo;
    }
    if (kind == QLatin1String("frame")) {
        auto* frame = new QFrame(parent);
        frame->setFrameShape(QFrame::NoFrame);
        return frame;
    }
    qFatal("dialog template control of unknown kind '%s'", qPrintable(kind));
}
