#pragma once
// Where the current user's files live. Any thread may call these; they never fail: a missing
// environment variable falls back to the usual default.
#include <string>

// The user's home folder ($HOME, else the password database).
std::string UserHomeFolder();

// The root of the per-user settings store ($XDG_CONFIG_HOME, default ~/.config).
std::string UserConfigRoot();

// The program's own settings folder: the store key "SOFTWARE\VAZ\Tillstream" as a folder
// (~/.config/VAZ/Tillstream). The option record and the ports/ links live here.
std::string ProgramSettingsFolder();

// The per-user runtime folder ($XDG_RUNTIME_DIR, else /tmp/tillstream-<uid>, created 0700).
std::string UserRuntimeFolder();
