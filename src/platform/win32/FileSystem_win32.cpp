#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <random>
#include <utility>
#include <vector>

#include "platform/FileHandle.h"
#include "platform/FileSystem.h"
#include "platform/SystemError.h"
#include "platform/win32/FileKindOfHandle.h"

namespace {
FileError LastFileError() {
    return FileErrorOf(LastSystemError());
}

std::size_t LastSeparator(const std::string& path) {
    return path.find_last_of("\\/");
}

std::string FolderOf(const std::string& path) {
    const std::size_t separator = LastSeparator(path);
    if (separator == std::string::npos) {
        return ".";
    }
    // "C:\name": the folder is the drive's root, separator included.
    if (separator == 2 && path[1] == ':') {
        return path.substr(0, 3);
    }
    return separator == 0 ? path.substr(0, 1) : path.substr(0, separator);
}

// A name next to `path` that no other copy in this or another process picks at the same time.
std::string UniqueSiblingName(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    static thread_local std::mt19937 random{std::random_device{}()};
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, "\\.tillstream-copy-%lu-%u-%08x",
                  static_cast<unsigned long>(GetCurrentProcessId()), counter.fetch_add(1),
                  static_cast<unsigned>(random()));
    return FolderOf(path) + suffix;
}

// The path the system knows the open file by: links followed, "." and ".." gone, the letter case
// as stored. Empty when the system cannot tell.
std::string FinalPathOf(HANDLE handle) {
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetFinalPathNameByHandleA(handle, buffer.data(), static_cast<DWORD>(buffer.size()),
                                      FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) {
            return {};
        }
        if (length < buffer.size()) {
            std::string path(buffer.data(), length);
            // "\\?\C:\..." for local drives, "\\?\UNC\server\share\..." for shares.
            if (path.rfind("\\\\?\\UNC\\", 0) == 0) {
                return "\\\\" + path.substr(8);
            }
            if (path.rfind("\\\\?\\", 0) == 0) {
                return path.substr(4);
            }
            return path;
        }
        buffer.resize(length + 1);
    }
}

std::string FullPathOf(const std::string& path) {
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetFullPathNameA(path.c_str(), static_cast<DWORD>(buffer.size()),
                                              buffer.data(), nullptr);
        if (length == 0) {
            return path;
        }
        if (length < buffer.size()) {
            return std::string(buffer.data(), length);
        }
        buffer.resize(length + 1);
    }
}

// Opens `path` (links followed) asking for no access, folders allowed: this open never disturbs
// anyone. INVALID_HANDLE_VALUE with the system's error when it cannot.
HANDLE OpenForLookUp(const std::string& path) {
    return CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

std::string ResolvedExisting(const std::string& path) {
    const HANDLE handle = OpenForLookUp(path);
    if (handle == INVALID_HANDLE_VALUE) {
        return {};
    }
    std::string resolved = FinalPathOf(handle);
    CloseHandle(handle);
    return resolved;
}

bool StartsWithNoCase(const std::string& text, const char* prefix) {
    const std::size_t length = std::strlen(prefix);
    return text.size() >= length && _strnicmp(text.c_str(), prefix, length) == 0;
}

// The hidden copies ("\.tillstream-copy-PID-N-RANDOM") in `folder` whose process has ended: a
// copy cut short by a kill leaves its file behind, and nobody else would ever remove it.
void RemoveCopiesOfEndedProcesses(const std::string& folder) {
    WIN32_FIND_DATAA entry{};
    const HANDLE search = FindFirstFileA((folder + "\\.tillstream-copy-*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        unsigned long processId = 0;
        unsigned counter = 0;
        unsigned random = 0;
        if (std::sscanf(entry.cFileName, ".tillstream-copy-%lu-%u-%8x", &processId, &counter,
                        &random) != 3) {
            continue;
        }
        const HANDLE process =
            OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(processId));
        if (process != nullptr) {
            DWORD exitCode = 0;
            const bool running = GetExitCodeProcess(process, &exitCode) && exitCode == STILL_ACTIVE;
            CloseHandle(process);
            if (running) {
                continue;
            }
        } else if (GetLastError() != ERROR_INVALID_PARAMETER) {
            continue;  // a process of someone else's: not ours to judge
        }
        DeleteFileA((folder + "\\" + entry.cFileName).c_str());
    } while (FindNextFileA(search, &entry));
    FindClose(search);
}
}  // namespace

char PreferredPathSeparator() {
    return '\\';
}

bool IsPathSeparator(char c) {
    return c == '\\' || c == '/';
}

bool PathExists(const std::string& path) {
    return !path.empty() && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

FileError CheckRegularFile(const std::string& path, FileKind& kind) {
    if (path.empty()) {
        return FileError::NotFound;
    }
    // Opening a pipe's name would connect to its server: a pipe is known by its name alone.
    if (StartsWithNoCase(path, "\\\\.\\pipe\\") || StartsWithNoCase(path, "//./pipe/")) {
        kind = FileKind::NamedPipe;
        return FileError::NotRegularFile;
    }
    const HANDLE handle = OpenForLookUp(path);
    if (handle == INVALID_HANDLE_VALUE) {
        return LastFileError();
    }
    kind = FileKindOfHandle(reinterpret_cast<std::intptr_t>(handle));
    CloseHandle(handle);
    return kind == FileKind::Regular ? FileError::None : FileError::NotRegularFile;
}

FileError ResolveFilePath(const std::string& path, std::string& resolved) {
    if (path.empty()) {
        return FileError::NotFound;
    }
    const HANDLE handle = OpenForLookUp(FullPathOf(path));
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        // A loop of links cannot be resolved; every other failure means the name leads nowhere.
        return error == ERROR_CANT_RESOLVE_FILENAME ? FileError::PathNotFound : FileError::NotFound;
    }
    std::string finalPath = FinalPathOf(handle);
    CloseHandle(handle);
    if (finalPath.empty()) {
        return FileError::NotFound;
    }
    resolved = std::move(finalPath);
    return FileError::None;
}

FileError RemoveFile(const std::string& path) {
    return DeleteFileA(path.c_str()) ? FileError::None : LastFileError();
}

FileError RenameReplace(const std::string& from, const std::string& to) {
    // Write-through: the call returns once the rename is on the disk. The system refuses to
    // replace a file that anyone has open.
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? FileError::None
               : LastFileError();
}

FileError CopyFileReplace(const std::string& from, const std::string& to) {
    RemoveCopiesOfEndedProcesses(FolderOf(to));
    CFileHandle source;
    if (const FileError error = source.OpenForRead(from); error != FileError::None) {
        return error;
    }
    // The copy is made under a new hidden name in the target's folder, so that the final rename
    // stays on one volume and the target is never seen half written.
    std::string tempPath;
    CFileHandle target;
    FileError error = FileError::AlreadyExists;
    for (int attempt = 0; attempt < 100 && error == FileError::AlreadyExists; ++attempt) {
        tempPath = UniqueSiblingName(to);
        error = target.CreateNewForWrite(tempPath);
    }
    if (error != FileError::None) {
        return error;
    }
    {
        std::vector<char> buffer(256 * 1024);
        for (;;) {
            const FileReadResult read = source.Read(buffer.data(), buffer.size());
            if (read.error != FileError::None) {
                error = read.error;
                break;
            }
            if (read.bytes == 0) {
                break;
            }
            error = target.WriteAll(buffer.data(), read.bytes);
            if (error != FileError::None) {
                break;
            }
        }
    }
    if (error == FileError::None) {
        error = target.Sync();
    }
    if (const FileError closeError = target.CloseChecked(); error == FileError::None) {
        error = closeError;
    }
    source.Close();
    if (error == FileError::None) {
        error = RenameReplace(tempPath, to);
    }
    if (error != FileError::None) {
        DeleteFileA(tempPath.c_str());
    }
    return error;
}

FileError MakeDirectory(const std::string& path) {
    return CreateDirectoryA(path.c_str(), nullptr) ? FileError::None : LastFileError();
}

std::int64_t FileSizeOf(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA info{};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &info)) {
        return -1;
    }
    return (static_cast<std::int64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
}

std::string CanonicalPath(const std::string& path) {
    if (path.empty()) {
        return path;
    }
    const std::string full = FullPathOf(path);
    if (std::string resolved = ResolvedExisting(full); !resolved.empty()) {
        return resolved;
    }
    // Not there (yet): resolve its folder and keep the name as given.
    const std::size_t separator = LastSeparator(full);
    if (separator == std::string::npos || separator + 1 == full.size()) {
        return full;
    }
    const std::string folder = ResolvedExisting(FolderOf(full));
    if (folder.empty()) {
        return full;
    }
    const bool endsWithSeparator = IsPathSeparator(folder.back());
    return folder + (endsWithSeparator ? "" : "\\") + full.substr(separator + 1);
}
