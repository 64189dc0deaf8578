#include "ui/ResourceStrings.h"

#include <cstdlib>
#include <map>
#include <nlohmann/json.hpp>

#include "ui/EmbeddedResources.h"

std::string LoadResourceString(int id) {
    static const std::map<int, std::string> table = [] {
        std::map<int, std::string> strings;
        const nlohmann::json root =
            nlohmann::json::parse(EmbeddedResource("strings.json"), nullptr, false);
        if (root.is_object()) {
            for (const auto& [key, value] : root.items()) {
                if (value.is_string()) {
                    strings[std::atoi(key.c_str())] = value.get<std::string>();
                }
            }
        }
        return strings;
    }();
    const auto found = table.find(id);
    return found != table.end() ? found->second : std::string();
}
