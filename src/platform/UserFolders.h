#pragma once
// Where the current user's files live. Any thread may call these; they never fail: a missing
// environment variable falls back to the usual default.
#include <string>

// The user's home folder ($HOME, else the password database; %USERPROFILE% on Windows).
std::string UserHomeFolder();

// The root of the per-user settings folders ($XDG_CONFIG_HOME, default ~/.config; %APPDATA% on
// Windows).
std::string UserConfigRoot();

// The program's own settings folder (~/.config/VAZ/Tillstream): on Linux the store key
// "SOFTWARE\VAZ\Tillstream" as a folder, holding the option record and the ports/ links. On
// Windows the record lives in the registry and the folder (%APPDATA%\VAZ\Tillstream) holds
// nothing of the program's.
std::string ProgramSettingsFolder();

// The per-user runtime folder ($XDG_RUNTIME_DIR, else /tmp/tillstream-<uid>, created 0700; the
// user's temporary folder on Windows).
std::string UserRuntimeFolder();

// The capture folder a new user gets: C:\Tillstream on Windows; "Tillstream" in the home folder
// on Linux, or /tmp/Tillstream when that path would not fit the record's 255 characters.
std::string UserCaptureFolder();

// The value of the environment variable `name`, or `fallback` when it is unset or empty.
std::string EnvironmentValueOr(const char* name, const std::string& fallback);
