#pragma once
// The current user's store of values: the registry's HKEY_CURRENT_USER on Windows. A key is a path
// of components separated by "\" ("SOFTWARE\VAZ\Tillstream"). On Linux a key is a folder below
// $XDG_CONFIG_HOME (a leading "SOFTWARE" is dropped, as Qt's settings do) and a value is a file in
// it holding exactly the value's bytes; writes there are atomic, so a crash or a full disk during a
// write leaves the previous value whole. Any thread may call these; results are the codes below.
#include <cstdint>

enum class UserStoreResult {
    Ok,
    KeyUnavailable,    // the key cannot be opened with full access (or, when writing, created)
    ValueUnavailable,  // missing, longer than the caller's capacity, or cannot be written
};

// Opens `subKey` with full access, reads `valueName` into `buffer` and closes the key again.
// `*size` holds the capacity on entry and the bytes stored on return. A value longer than the
// capacity is refused whole and leaves the buffer untouched. The value's type is not looked at.
UserStoreResult UserStoreQueryValue(const char* subKey, const char* valueName, void* buffer,
                                    uint32_t* size);

// Opens `subKey` with full access, creating every missing level, stores `size` bytes of `data`
// as `valueName` of type `type` (a registry value type; Linux keeps bytes only) and closes the key.
UserStoreResult UserStoreSetValue(const char* subKey, const char* valueName, uint32_t type,
                                  const void* data, uint32_t size);
