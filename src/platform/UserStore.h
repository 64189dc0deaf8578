#pragma once
// The per-user store of binary values that stands in for the registry's current-user hive.
// A key is a path of components separated by "\" (a leading "SOFTWARE" is dropped, as Qt's
// settings do); on Linux it is a folder below $XDG_CONFIG_HOME and a value is a file in it
// holding exactly the value's bytes. Writes are atomic: a crash or a full disk during a write
// leaves the previous value whole. Any thread may call these; results are the codes below.
#include <cstdint>
#include <string>

enum class UserStoreResult {
    Ok,
    KeyUnavailable,    // missing (when reading) or cannot be created, read and written
    ValueUnavailable,  // missing, longer than the caller's capacity, or cannot be written
};

// The folder that holds the values of `subKey`.
std::string UserStoreKeyFolder(const char* subKey);

// Opens the key for full access; `create` makes every missing level first.
UserStoreResult UserStoreOpenKey(const char* subKey, bool create, std::string* folder);

// Reads a value into `buffer`; `*size` holds the capacity on entry and the bytes stored on
// return. A value longer than the capacity is refused whole.
UserStoreResult UserStoreReadValue(const std::string& keyFolder, const char* valueName,
                                   void* buffer, uint32_t* size);

// Replaces a value atomically with `size` bytes of `data`.
UserStoreResult UserStoreWriteValue(const std::string& keyFolder, const char* valueName,
                                    const void* data, uint32_t size);
