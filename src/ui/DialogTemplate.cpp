#include "ui/DialogTemplate.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>

#include "ui/EmbeddedResources.h"

namespace {
using Json = nlohmann::json;

bool HasStyle(const std::vector<std::string>& styles, std::string_view style) {
    return std::find(styles.begin(), styles.end(), style) != styles.end();
}

[[noreturn]] void TemplateFault(const std::string& name, const char* what) {
    std::fprintf(stderr, "dialog template %s: %s\n", name.c_str(), what);
    std::abort();
}

DialogTemplate Parse(const Json& root) {
    DialogTemplate result;
    result.id = root.value("id", 0);
    result.caption = root.value("caption", std::string());
    const Json& size = root.at("size");
    result.width = size.at(0).get<int>();
    result.height = size.at(1).get<int>();
    const Json font = root.value("font", Json::object());
    result.fontFamily = font.value("family", std::string());
    result.fontPointSize = font.value("pointSize", 8);
    result.styles = root.value("styles", std::vector<std::string>());
    for (const Json& object : root.at("controls")) {
        ControlTemplate control;
        control.id = object.value("id", -1);
        control.kind = object.at("kind").get<std::string>();
        control.text = object.value("text", std::string());
        const Json& rect = object.at("rect");
        control.rect = {rect.at(0).get<int>(), rect.at(1).get<int>(), rect.at(2).get<int>(),
                        rect.at(3).get<int>()};
        control.styles = object.value("styles", std::vector<std::string>());
        result.controls.push_back(std::move(control));
    }
    return result;
}
}  // namespace

bool ControlTemplate::Has(std::string_view style) const {
    return HasStyle(styles, style);
}

bool DialogTemplate::Has(std::string_view style) const {
    return HasStyle(styles, style);
}

const ControlTemplate* DialogTemplate::Control(int controlId) const {
    for (const ControlTemplate& control : controls) {
        if (control.id == controlId) {
            return &control;
        }
    }
    return nullptr;
}

ControlTemplate* DialogTemplate::Control(int controlId) {
    return const_cast<ControlTemplate*>(std::as_const(*this).Control(controlId));
}

DialogTemplate DialogTemplate::Load(int templateId) {
    const std::string name = "dialogs/" + std::to_string(templateId) + ".json";
    const std::string_view data = EmbeddedResource(name);
    if (data.empty()) {
        TemplateFault(name, "missing");
    }
    try {
        return Parse(Json::parse(data));
    } catch (const Json::exception& error) {
        TemplateFault(name, error.what());
    }
}
