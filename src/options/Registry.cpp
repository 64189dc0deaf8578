#include "options/Registry.h"

#include "platform/UserStore.h"

namespace {
int32_t ResultCode(UserStoreResult result) {
    switch (result) {
        case UserStoreResult::Ok:
            return 0;
        case UserStoreResult::KeyUnavailable:
            return -1;
        case UserStoreResult::ValueUnavailable:
            return -2;
    }
    return -100;
}
}  // namespace

int32_t HRegQueryValue(RegistryRoot /*root*/, const char* subKey, const char* valueName,
                       void* buffer, uint32_t* size) {
    try {
        return ResultCode(UserStoreQueryValue(subKey, valueName, buffer, size));
    } catch (...) {
        return -100;
    }
}

int32_t HRegSetValue(RegistryRoot /*root*/, const char* subKey, const char* valueName,
                     uint32_t type, const void* data, uint32_t size) {
    try {
        return ResultCode(UserStoreSetValue(subKey, valueName, type, data, size));
    } catch (...) {
        return -100;
    }
}
