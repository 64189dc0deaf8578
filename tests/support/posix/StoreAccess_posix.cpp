#include <sys/stat.h>

#include <filesystem>

#include "StoreAccess.h"
#include "TempHome.h"
#include "platform/UserFolders.h"

namespace {
std::string ValuePath() {
    return ProgramSettingsFolder() + "/OptionData";
}
}  // namespace

bool StoredKeyExists() {
    return FileExists(ProgramSettingsFolder());
}

void CreateStoredKey() {
    std::filesystem::create_directories(ProgramSettingsFolder());
}

void WriteStoredValue(const std::string& bytes) {
    CreateStoredKey();
    WriteFileBytes(ValuePath(), bytes);
}

bool WriteStoredTextValue(const std::string& /*text*/) {
    return false;
}

std::optional<std::string> ReadStoredValue(bool* pIsBinary) {
    if (!FileExists(ValuePath())) {
        return std::nullopt;
    }
    if (pIsBinary != nullptr) {
        *pIsBinary = true;
    }
    return ReadFileBytes(ValuePath());
}

bool BlockStoredKey(std::string& /*whyNot*/) {
    // A file where the key's folder belongs: no folder to open, whoever runs the test.
    std::filesystem::create_directories(UserConfigRoot() + "/VAZ");
    WriteFileBytes(ProgramSettingsFolder(), "not a folder");
    return true;
}
