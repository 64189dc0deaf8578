#pragma once
// Whole-file operations on paths: existence, deletion, atomic replacement, copying, folders.
// Any thread may call these; each reports failure as a FileError (or the documented value) and
// never throws.
#include <cstdint>
#include <string>

#include "platform/FileError.h"
#include "platform/FileKind.h"

// The separator that the program puts into the paths it builds ("\" on Windows, "/" on Linux).
char PreferredPathSeparator();
// True for every character that separates folders in a path on this system ("\" and "/" on
// Windows).
bool IsPathSeparator(char c);

// True when anything (file, folder, device, link) exists under `path`.
bool PathExists(const std::string& path);
// Tells whether `path` (links followed) names a regular file, without opening it, so that asking
// never waits on a named pipe or wakes a device: FileError::None for a regular file,
// FileError::NotRegularFile for anything else with `kind` saying what it is, or the error of the
// look-up (FileError::NotFound also for a link that leads nowhere). `kind` is set only when the
// look-up succeeded. The answer is for refusing early and naming what was refused; opening a data
// file (CFileHandle::OpenForRead) checks again on the opened file.
FileError CheckRegularFile(const std::string& path, FileKind& kind);
// The file that `path` finally names: absolute, with "." and ".." and every symbolic link on the
// way and at its end resolved. Fails with FileError::NotFound when the name leads nowhere (no such
// file, or a link whose target is missing) and FileError::PathNotFound for a loop of links;
// `resolved` is then unchanged.
FileError ResolveFilePath(const std::string& path, std::string& resolved);
// Deletes a file (not a folder).
FileError RemoveFile(const std::string& path);
// Renames `from` to `to`, replacing an existing `to` in one step: a reader of `to` sees either the
// old file or the new one, never a mixture or nothing. Both must be on the same file system.
FileError RenameReplace(const std::string& from, const std::string& to);
// Copies the bytes and permission bits of the regular file `from` to `to`, replacing an existing
// `to` atomically: the copy is made in `to`'s folder, synced, and only then put in `to`'s place,
// so that `to` is always either wholly the old file or wholly the copy. On failure `to` is
// unchanged and nothing of the copy remains. A copy cut short by the end of the process (a kill)
// leaves nothing where the system can make files without a name; elsewhere it leaves a hidden
// file, which the next copy into that folder removes once its process has ended.
FileError CopyFileReplace(const std::string& from, const std::string& to);
// Creates one folder (its parent must exist). An existing entry gives FileError::AlreadyExists.
FileError MakeDirectory(const std::string& path);
// The size of the file in bytes, or -1 when it cannot be determined.
std::int64_t FileSizeOf(const std::string& path);
// An absolute path with links, "." and ".." resolved, so that two names of one file compare equal.
// For a file that does not exist, its folder is resolved and the name appended; when even that
// fails the path is made absolute and normalised by its text alone. Never fails.
std::string CanonicalPath(const std::string& path);
