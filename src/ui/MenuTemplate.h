#pragma once
// Popup menus as data (resources/menus/<id>.json): each item's command ID and text in order,
// separators included. Any thread may load one; a menu that is missing or malformed loads as an
// empty menu (no items), as a menu resource that cannot be loaded would.
#include <string>
#include <vector>

struct MenuItemTemplate {
    int id = 0;  // 0 for a separator
    std::string text;
    bool separator = false;
};

struct MenuTemplate {
    int id = 0;
    std::string popupTitle;
    std::vector<MenuItemTemplate> items;

    static MenuTemplate Load(int menuId);
};
