#include "cli/RigFile.h"

#include <nlohmann/json.hpp>

namespace {
using Json = nlohmann::json;

std::string LaneName(int number) {
    return "lane " + std::to_string(number);
}

// The library's message without its own prefix ("[json.exception.parse_error.101] ").
std::string WithoutPrefix(const std::string& what) {
    const std::size_t end = what.find("] ");
    return what.starts_with("[json.exception.") && end != std::string::npos ? what.substr(end + 2)
                                                                            : what;
}

// A key's JSON value as the word a command line would hold; empty with `error` set when the value
// has no such form.
std::optional<std::string> ValueWord(const std::string& key, const Json& value,
                                     std::string& error) {
    switch (value.type()) {
        case Json::value_t::string:
            return value.get<std::string>();
        case Json::value_t::number_unsigned:
        case Json::value_t::number_integer:
        case Json::value_t::number_float:
            // The shortest text that reads back as the same number (2.5, 10, 1.5).
            return value.dump();
        default:
            error =
                "'" + key + "' is " + std::string(value.type_name()) + ", not a text or a number";
            return std::nullopt;
    }
}
// The "start" of a lane: a whole number of milliseconds, 0 to a day, as a number or a text.
std::optional<std::uint32_t> StartValue(const Json& value, std::string& error) {
    constexpr std::uint64_t kLongestStart = 24ull * 60 * 60 * 1000;
    std::optional<std::uint64_t> ms;
    if (value.is_number_unsigned()) {
        ms = value.get<std::uint64_t>();
    } else if (value.is_string()) {
        const std::string text = value.get<std::string>();
        if (!text.empty() && text.size() <= 9 &&
            text.find_first_not_of("0123456789") == std::string::npos) {
            ms = std::stoull(text);
        }
    }
    if (!ms || *ms > kLongestStart) {
        error = "'start' is " + value.dump() +
                ", not a whole number of milliseconds from 0 to 86400000";
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(*ms);
}
}  // namespace

std::optional<std::string> ReadRigFile(const std::string& text, const RigKeyLookup& lookup,
                                       std::vector<RigLaneWords>& lanes) {
    Json root;
    try {
        root = Json::parse(text);
    } catch (const Json::parse_error& failure) {
        return "not valid JSON: " + WithoutPrefix(failure.what());
    }
    if (!root.is_object()) {
        return std::string("the rig is a JSON object with a \"lanes\" array, not ") +
               root.type_name();
    }
    for (const auto& [key, value] : root.items()) {
        if (key != "lanes") {
            return "unknown key '" + key + "' (the rig holds \"lanes\" only)";
        }
    }
    const auto found = root.find("lanes");
    if (found == root.end() || !found->is_array() || found->empty()) {
        return std::string("\"lanes\" must be an array of at least one lane");
    }
    int number = 0;
    for (const Json& lane : *found) {
        ++number;
        if (!lane.is_object()) {
            return LaneName(number) + ": a lane is an object of play flags, not " +
                   lane.type_name();
        }
        RigLaneWords words;
        words.number = number;
        const auto file = lane.find("file");
        if (file == lane.end() || !file->is_string()) {
            return LaneName(number) + ": \"file\" (a text) is missing";
        }
        for (const auto& [key, value] : lane.items()) {
            if (key == "file") {
                continue;
            }
            if (key == "start") {
                std::string error;
                const std::optional<std::uint32_t> start = StartValue(value, error);
                if (!start) {
                    return LaneName(number) + ": " + error;
                }
                words.startMs = start;
                continue;
            }
            const std::optional<bool> bTakesValue = lookup(key);
            if (!bTakesValue) {
                return LaneName(number) + ": unknown key '" + key + "'";
            }
            if (!*bTakesValue) {
                if (!value.is_boolean()) {
                    return LaneName(number) + ": '" + key + "' is true or false, not " +
                           value.type_name();
                }
                if (value.get<bool>()) {
                    words.words.push_back("--" + key);
                }
                continue;
            }
            std::string error;
            const std::optional<std::string> word = ValueWord(key, value, error);
            if (!word) {
                return LaneName(number) + ": " + error;
            }
            words.words.push_back("--" + key + "=" + *word);
        }
        // The file comes after "--", so that a name beginning with "-" stays a name.
        words.words.push_back("--");
        words.words.push_back(file->get<std::string>());
        lanes.push_back(std::move(words));
    }
    return std::nullopt;
}
