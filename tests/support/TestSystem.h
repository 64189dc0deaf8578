#pragma once
// What tests need of the system beyond the program's own platform layer, one implementation per
// system. Test use only.
#include <cstdint>
#include <string>

// A symbolic link at `link` to `target`; false where links cannot be made here, or where the
// system does not resolve them to their target's name (Wine).
bool MakeSymbolicLink(const std::string& target, const std::string& link);
// Shortens (or lengthens) the file at `path` to `size` bytes while others may have it open.
bool ResizeFile(const std::string& path, std::uint64_t size);
// Whether a file can be replaced (renamed over) while someone has it open: Linux yes, Windows no.
bool SystemReplacesOpenFiles();
// Sets or removes an environment variable of this process (children inherit it).
void SetTestEnvironment(const char* name, const char* value);
void ClearTestEnvironment(const char* name);
// Threads of this process, as the system counts them (-1 when it cannot tell).
int ProcessThreadCount();
// Threads of the process `processId`, likewise (-1 also for no process, id 0).
int ThreadCountOfProcess(std::uint32_t processId);
// Open descriptors (Linux) or handles (Windows) of this process (-1 when it cannot tell).
int ProcessHandleCount();
// Gives the broken-pipe signal its default action (ending the process) where the system has one
// (Linux), so that a send that raised it would show.
void RestoreBrokenPipeDefault();
// True when the Windows programs run under Wine rather than on Windows itself.
bool RunsUnderWine();
// `path` written from the root of the children's current drive with forward slashes: on Windows
// "/users/me/x.txt" for "C:\users\me\x.txt", under Wine the file's Linux name (drive Z: is the
// Linux root); Linux paths are that already. A child started by the test opens it as that file.
std::string PathFromDriveRoot(const std::string& path);
