#include "options/Registry.h"

#include <exception>
#include <string>

#include "platform/UserStore.h"

int32_t HRegQueryValue(RegistryRoot /*root*/, const char* subKey, const char* valueName,
                       void* buffer, uint32_t* size) {
    try {
        std::string key;
        if (UserStoreOpenKey(subKey, /*create=*/false, &key) != UserStoreResult::Ok) {
            return -1;
        }
        if (UserStoreReadValue(key, valueName, buffer, size) != UserStoreResult::Ok) {
            return -2;
        }
        return 0;
    } catch (...) {
        return -100;
    }
}

int32_t HRegSetValue(RegistryRoot /*root*/, const char* subKey, const char* valueName,
                     uint32_t /*type*/, const void* data, uint32_t size) {
    try {
        std::string key;
        if (UserStoreOpenKey(subKey, /*create=*/true, &key) != UserStoreResult::Ok) {
            return -1;
        }
        if (UserStoreWriteValue(key, valueName, data, size) != UserStoreResult::Ok) {
            return -2;
        }
        return 0;
    } catch (...) {
        return -100;
    }
}
