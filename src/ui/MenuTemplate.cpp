#include "ui/MenuTemplate.h"

#include <nlohmann/json.hpp>

#include "ui/EmbeddedResources.h"

MenuTemplate MenuTemplate::Load(int menuId) {
    MenuTemplate result;
    const std::string_view data = EmbeddedResource("menus/" + std::to_string(menuId) + ".json");
    const nlohmann::json root = nlohmann::json::parse(data, nullptr, false);
    if (!root.is_object()) {
        return result;
    }
    result.id = root.value("id", 0);
    result.popupTitle = root.value("popup", std::string());
    for (const nlohmann::json& object : root.value("items", nlohmann::json::array())) {
        if (!object.is_object()) {
            continue;
        }
        MenuItemTemplate item;
        item.separator = object.value("separator", false);
        item.id = object.value("id", 0);
        item.text = object.value("text", std::string());
        result.items.push_back(std::move(item));
    }
    return result;
}
