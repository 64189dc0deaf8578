#pragma once
// Popup menus as data (resources/menus/<id>.json): each item's command ID and text in order,
// separators included. GUI thread only.
#include <QList>
#include <QString>

class QMenu;
class QWidget;

struct MenuItemTemplate {
    int id = 0;  // 0 for a separator
    QString text;
    bool separator = false;
};

struct MenuTemplate {
    int id = 0;
    QString popupTitle;
    QList<MenuItemTemplate> items;

    // Reads ":/menus/<id>.json"; an empty template (no items) when it is missing.
    static MenuTemplate Load(int menuId);
    // A fresh menu whose actions carry their command ID as data (QAction::data().toInt()).
    QMenu* BuildMenu(QWidget* parent) const;
};
