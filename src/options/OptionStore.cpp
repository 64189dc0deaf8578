#include "options/OptionStore.h"

#include "options/Registry.h"
#include "platform/Trace.h"

int32_t LoadStoredOptions(OptionRecord& record, const char* caller) {
    uint32_t size = kOptionRecordSize;
    const int32_t result =
        HRegQueryValue(kHkeyCurrentUser, kOptionKeyPath, kOptionValueName, &record, &size);
    if (result < 0) {
        Trace("[%s][%s] ERROR - HRegQueryValue", kProgramName, caller);
    }
    return result;
}

int32_t SaveStoredOptions(const OptionRecord& record, const char* caller) {
    const int32_t result = HRegSetValue(kHkeyCurrentUser, kOptionKeyPath, kOptionValueName,
                                        kRegBinary, &record, kOptionRecordSize);
    if (result < 0) {
        Trace("[%s][%s] ERROR - HRegSetValue", kProgramName, caller);
    }
    return result;
}
