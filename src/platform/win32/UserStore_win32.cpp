// The registry itself: HKEY_CURRENT_USER, opened with full access as the option record's two
// wrappers need it, one open, one read or write and one close per call.
#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/UserStore.h"

namespace {
// The one place where a registry result becomes the program's code: whatever fails while the key
// is opened is the key's failure, whatever fails after it the value's.
UserStoreResult UserStoreResultOf(LSTATUS status, UserStoreResult failure) {
    return status == ERROR_SUCCESS ? UserStoreResult::Ok : failure;
}

class CKey {
  public:
    ~CKey() {
        if (m_hKey != nullptr) {
            RegCloseKey(m_hKey);
        }
    }
    HKEY* Out() { return &m_hKey; }
    HKEY Get() const { return m_hKey; }

  private:
    HKEY m_hKey = nullptr;
};
}  // namespace

UserStoreResult UserStoreQueryValue(const char* subKey, const char* valueName, void* buffer,
                                    uint32_t* size) {
    CKey key;
    LSTATUS status = RegOpenKeyExA(HKEY_CURRENT_USER, subKey, 0, KEY_ALL_ACCESS, key.Out());
    if (UserStoreResult result = UserStoreResultOf(status, UserStoreResult::KeyUnavailable);
        result != UserStoreResult::Ok) {
        return result;
    }
    // Read into a scratch buffer: a value longer than the capacity may leave part of itself in
    // the buffer it was refused for, and the caller's record must stay as it was.
    std::vector<BYTE> scratch(*size == 0 ? 1 : *size);
    DWORD length = *size;
    status = RegQueryValueExA(key.Get(), valueName, nullptr, nullptr, scratch.data(), &length);
    if (UserStoreResult result = UserStoreResultOf(status, UserStoreResult::ValueUnavailable);
        result != UserStoreResult::Ok) {
        return result;
    }
    std::copy(scratch.begin(), scratch.begin() + length, static_cast<BYTE*>(buffer));
    *size = length;
    return UserStoreResult::Ok;
}

UserStoreResult UserStoreSetValue(const char* subKey, const char* valueName, uint32_t type,
                                  const void* data, uint32_t size) {
    CKey key;
    LSTATUS status = RegCreateKeyExA(HKEY_CURRENT_USER, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_ALL_ACCESS, nullptr, key.Out(), nullptr);
    if (UserStoreResult result = UserStoreResultOf(status, UserStoreResult::KeyUnavailable);
        result != UserStoreResult::Ok) {
        return result;
    }
    status = RegSetValueExA(key.Get(), valueName, 0, type, static_cast<const BYTE*>(data), size);
    return UserStoreResultOf(status, UserStoreResult::ValueUnavailable);
}
