#include <windows.h>
// After windows.h, which it needs.
#include <tlhelp32.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "TestSystem.h"

namespace {
// The name the system gives the file opened at `path` (links followed); empty when none.
std::string FinalName(const std::string& path) {
    const HANDLE file =
        CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return {};
    }
    char name[MAX_PATH * 2] = {};
    const DWORD length = GetFinalPathNameByHandleA(file, name, sizeof name, 0);
    CloseHandle(file);
    return length > 0 && length < sizeof name ? std::string(name, length) : std::string();
}
}  // namespace

bool MakeSymbolicLink(const std::string& target, const std::string& link) {
    const DWORD attributes = GetFileAttributesA(target.c_str());
    DWORD flags = SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE;
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        flags |= SYMBOLIC_LINK_FLAG_DIRECTORY;
    }
    if (!CreateSymbolicLinkA(link.c_str(), target.c_str(), flags)) {
        return false;
    }
    // Wine makes the link but names a file opened through it by the link's own name: such a
    // link is no second name of the file as Windows knows it, and is taken away again.
    if (attributes != INVALID_FILE_ATTRIBUTES && FinalName(link) != FinalName(target)) {
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            RemoveDirectoryA(link.c_str());
        } else {
            DeleteFileA(link.c_str());
        }
        return false;
    }
    return true;
}

bool SystemReplacesOpenFiles() {
    return false;
}

bool ResizeFile(const std::string& path, std::uint64_t size) {
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(size);
    const bool done = SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    return done;
}

void SetTestEnvironment(const char* name, const char* value) {
    // Both copies: the C library's (getenv) and the system's (child processes).
    _putenv_s(name, value);
    SetEnvironmentVariableA(name, value);
}

void ClearTestEnvironment(const char* name) {
    _putenv_s(name, "");
    SetEnvironmentVariableA(name, nullptr);
}

int ProcessThreadCount() {
    return ThreadCountOfProcess(GetCurrentProcessId());
}

int ThreadCountOfProcess(std::uint32_t processId) {
    const HANDLE snapshot =
        processId == 0 ? INVALID_HANDLE_VALUE : CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return -1;
    }
    int count = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        count += entry.th32OwnerProcessID == processId ? 1 : 0;
    }
    CloseHandle(snapshot);
    return count;
}

int ProcessHandleCount() {
    DWORD count = 0;
    return GetProcessHandleCount(GetCurrentProcess(), &count) ? static_cast<int>(count) : -1;
}

void RestoreBrokenPipeDefault() {
    // Windows has no such signal: a send to a peer that has gone only fails.
}

bool RunsUnderWine() {
    return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
}

std::string PathFromDriveRoot(const std::string& path) {
    // Under Wine the children's current drive is Z:, the Linux root, so the path from the root
    // of that drive is the file's Linux name.
    using UnixFileName = char*(CDECL*)(LPCWSTR);
    const auto unixFileName = reinterpret_cast<UnixFileName>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (unixFileName != nullptr) {
        std::wstring wide(path.size() + 1, L'\0');
        const int length = MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, wide.data(),
                                               static_cast<int>(wide.size()));
        if (length > 0) {
            if (char* name = unixFileName(wide.c_str()); name != nullptr) {
                std::string linuxName(name);
                HeapFree(GetProcessHeap(), 0, name);
                return linuxName;
            }
        }
    }
    std::string rooted = path.size() > 1 && path[1] == ':' ? path.substr(2) : path;
    std::replace(rooted.begin(), rooted.end(), '\\', '/');
    return rooted;
}
