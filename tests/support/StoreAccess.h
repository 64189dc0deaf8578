#pragma once
// The option record's place in the settings store, reached around the program, as another
// program or the user (regedit, a file manager) would: the registry value "OptionData" of
// HKEY_CURRENT_USER\SOFTWARE\VAZ\Tillstream on Windows, read and written with the Win32 registry
// functions; the file ~/.config/VAZ/Tillstream/OptionData on Linux. Works inside a TempHome.
// Test use only.
#include <optional>
#include <string>

bool StoredKeyExists();
// Creates the key without a value.
void CreateStoredKey();
// Stores `bytes` as the value (binary), creating the key as needed.
void WriteStoredValue(const std::string& bytes);
// Stores `text` as a value of the store's text type (REG_SZ). False where the store keeps bytes
// without a type (Linux).
bool WriteStoredTextValue(const std::string& text);
// The value's bytes, or nothing when there is none. `pIsBinary` tells whether it is of the binary
// type (always so on Linux).
std::optional<std::string> ReadStoredValue(bool* pIsBinary = nullptr);
// Leaves the key in place but unusable for the program: it cannot be opened with full access.
// False, with the reason, where this cannot be shown here.
bool BlockStoredKey(std::string& whyNot);
