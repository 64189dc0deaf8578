#pragma once
// The two registry wrappers through which the option record is read and written, over the
// per-user store. Only the user-interface thread (or the command line's one thread) calls them.
// Results: 0 success, -1 the key cannot be opened (or created), -2 the value cannot be read (or
// written), -100 any other failure. They never throw.
#include <cstdint>

// The root of every key the program uses: the current user's part of the store.
enum class RegistryRoot { CurrentUser };
inline constexpr RegistryRoot kHkeyCurrentUser = RegistryRoot::CurrentUser;
inline constexpr uint32_t kRegBinary = 3;

inline constexpr const char* kOptionKeyPath = "SOFTWARE\\VAZ\\Tillstream";
inline constexpr const char* kOptionValueName = "OptionData";

// Reads `valueName` of `subKey` into `buffer`; `*size` is the capacity on entry and the bytes
// stored on return. A value longer than the capacity gives -2 and leaves the buffer untouched;
// a shorter one replaces only the start of the buffer.
int32_t HRegQueryValue(RegistryRoot root, const char* subKey, const char* valueName, void* buffer,
                       uint32_t* size);

// Creates `subKey` as needed and stores `size` bytes of `data` as `valueName` of type `type`
// (recorded by the registry; the Linux store keeps raw bytes only).
int32_t HRegSetValue(RegistryRoot root, const char* subKey, const char* valueName, uint32_t type,
                     const void* data, uint32_t size);
