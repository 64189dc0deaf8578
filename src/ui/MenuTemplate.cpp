#include "ui/MenuTemplate.h"
#include "gui_qt/Resources.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>

MenuTemplate MenuTemplate::Load(int menuId) {
    EnsureTillstreamResources();
    MenuTemplate result;
    QFile file(QStringLiteral(":/menus/%1.json").arg(menuId));
    if (!file.open(QIODevice::ReadOnly)) {
        return result;
    }
    const QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
    result.id = root.value("id").toInt();
    result.popupTitle = root.value("popup").toString();
    for (const QJsonValue& value : root.value("items").toArray()) {
        const QJsonObject object = value.toObject();
        MenuItemTemplate item;
        item.separator = object.value("separator").toBool(false);
        item.id = object.value("id").toInt(0);
        item.text = object.value("text").toString();
        result.items.append(item);
    }
    return result;
}

QMenu* MenuTemplate::BuildMenu(QWidget* parent) const {
    auto* menu = new QMenu(popupTitle, parent);
    for (const MenuItemTemplate& item : items) {
        if (item.separator) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(item.text);
        action->setData(item.id);
    }
    return menu;
}
