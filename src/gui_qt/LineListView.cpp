#include "gui_qt/LineListView.h"

#include <QEvent>
#include <QHeaderView>
#include <QStyleOptionViewItem>

CLineListView::CLineListView(QWidget* parent) : QTableView(parent) {
    setShowGrid(false);
    setWordWrap(false);
    setTabKeyNavigation(false);
    setCornerButtonEnabled(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setHighlightSections(false);
    UpdateRowHeight();
}

QModelIndex CLineListView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) {
    // In a table Home and End stay in the row; in a list they go to the first and last line.
    if (cursorAction == MoveHome || cursorAction == MoveEnd) {
        modifiers |= Qt::ControlModifier;
    }
    return QTableView::moveCursor(cursorAction, modifiers);
}

void CLineListView::changeEvent(QEvent* event) {
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        UpdateRowHeight();
    }
}

void CLineListView::UpdateRowHeight() {
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.features |= QStyleOptionViewItem::HasDisplay;
    option.text = QString::fromUtf16(u"0\u240D\u00C9g");
    const int height =
        style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), this).height();
    verticalHeader()->setDefaultSectionSize(qMax(1, height));
}
