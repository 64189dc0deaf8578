// The option record's registry value, reached with the registry functions directly.
#include <windows.h>
// After windows.h, which it needs.
#include <sddl.h>

#include <vector>

#include "StoreAccess.h"

namespace {
constexpr char kKey[] = "SOFTWARE\\VAZ\\Tillstream";
constexpr char kValue[] = "OptionData";

HKEY CreateKey() {
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    return key;
}
}  // namespace

bool StoredKeyExists() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

void CreateStoredKey() {
    if (const HKEY key = CreateKey(); key != nullptr) {
        RegCloseKey(key);
    }
}

void WriteStoredValue(const std::string& bytes) {
    const HKEY key = CreateKey();
    RegSetValueExA(key, kValue, 0, REG_BINARY, reinterpret_cast<const BYTE*>(bytes.data()),
                   static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
}

bool WriteStoredTextValue(const std::string& text) {
    const HKEY key = CreateKey();
    const LSTATUS status =
        RegSetValueExA(key, kValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>(text.size() + 1));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

std::optional<std::string> ReadStoredValue(bool* pIsBinary) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    DWORD type = 0;
    DWORD size = 0;
    std::optional<std::string> bytes;
    if (RegQueryValueExA(key, kValue, nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
        std::vector<BYTE> buffer(size + 1);
        if (RegQueryValueExA(key, kValue, nullptr, &type, buffer.data(), &size) == ERROR_SUCCESS) {
            bytes = std::string(reinterpret_cast<const char*>(buffer.data()), size);
            if (pIsBinary != nullptr) {
                *pIsBinary = type == REG_BINARY;
            }
        }
    }
    RegCloseKey(key);
    return bytes;
}

bool BlockStoredKey(std::string& whyNot) {
    // Everyone may read the key (and delete it, so that the test's clean-up can), nobody may
    // change it: an open with full access is refused.
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;;KRSD;;;WD)", SDDL_REVISION_1,
                                                              &descriptor, nullptr)) {
        whyNot = "no security descriptor";
        return false;
    }
    const HKEY key = CreateKey();
    const LSTATUS status = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor);
    RegCloseKey(key);
    LocalFree(descriptor);
    HKEY probe = nullptr;
    if (status == ERROR_SUCCESS &&
        RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_ALL_ACCESS, &probe) == ERROR_SUCCESS) {
        RegCloseKey(probe);
        whyNot = "the registry here does not keep to a key's access list";
        return false;
    }
    if (status != ERROR_SUCCESS) {
        whyNot = "the key's access list cannot be set";
        return false;
    }
    return true;
}
