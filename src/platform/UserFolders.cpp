#include "platform/UserFolders.h"

#include <cstdlib>

#include "platform/FileSystem.h"

std::string EnvironmentValueOr(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return (value != nullptr && value[0] != '\0') ? std::string(value) : fallback;
}

std::string ProgramSettingsFolder() {
    const char separator = PreferredPathSeparator();
    return UserConfigRoot() + separator + "VAZ" + separator + "Tillstream";
}
