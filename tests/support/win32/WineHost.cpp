#include "WineHost.h"

#include <windows.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

namespace {
using UnixNameFunction = char*(CDECL*)(LPCWSTR);
using DosNameFunction = WCHAR*(CDECL*)(LPCSTR);

// A function that only Wine's kernel32 exports; null on Windows itself. (The detour through
// void (*)() is the sanctioned way to say that the two function types differ on purpose.)
template <typename Function>
Function WineFunction(const char* name) {
    return reinterpret_cast<Function>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("kernel32.dll"), name)));
}

std::wstring Wide(const std::string& text) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 1), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), length);
    wide.resize(wide.size() - 1);
    return wide;
}

std::string Narrow(const WCHAR* wide) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(length > 0 ? length : 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), length, nullptr, nullptr);
    text.resize(text.size() - 1);
    return text;
}

std::string TempFolder() {
    char buffer[MAX_PATH + 1] = {};
    GetTempPathA(sizeof buffer, buffer);
    return buffer;
}

// A script file of its own for each command, with the file its end is reported to.
struct ScriptFiles {
    std::string script;
    std::string done;
};

ScriptFiles WriteScript(const std::string& commands) {
    static std::atomic<unsigned> counter{0};
    const std::string stem = TempFolder() + "tillstream-sh-" +
                             std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(counter.fetch_add(1));
    ScriptFiles files{stem + ".sh", stem + ".done"};
    DeleteFileA(files.done.c_str());
    std::ofstream out(files.script, std::ios::binary | std::ios::trunc);
    // Nothing of the Windows program's standard streams: a process that lives on (socat) must
    // not keep its output pipe open for whoever waits for the program's end (ctest).
    out << "exec </dev/null >/dev/null 2>&1\n"
        << commands << "\necho $? > '" << UnixPathOf(files.done) << ".part'\nmv '"
        << UnixPathOf(files.done) << ".part' '" << UnixPathOf(files.done) << "'\n";
    return files;
}

bool Start(const std::string& scriptPath) {
    const std::string unixScript = UnixPathOf(scriptPath);
    if (unixScript.empty()) {
        return false;
    }
    std::string commandLine = "/bin/sh " + unixScript;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return false;
    }
    // Wine fills in no handles for a Linux process (the process handle is null and the thread
    // "handle" is stray memory): closing them could close an unrelated handle of ours.
    if (process.hProcess != nullptr) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    return true;
}
}  // namespace

std::string UnixPathOf(const std::string& windowsPath) {
    const auto function = WineFunction<UnixNameFunction>("wine_get_unix_file_name");
    if (function == nullptr) {
        return {};
    }
    char* name = function(Wide(windowsPath).c_str());
    if (name == nullptr) {
        return {};
    }
    std::string path = name;
    HeapFree(GetProcessHeap(), 0, name);
    return path;
}

std::string WindowsPathOf(const std::string& unixPath) {
    const auto function = WineFunction<DosNameFunction>("wine_get_dos_file_name");
    if (function == nullptr) {
        return {};
    }
    WCHAR* name = function(unixPath.c_str());
    if (name == nullptr) {
        return {};
    }
    std::string path = Narrow(name);
    HeapFree(GetProcessHeap(), 0, name);
    return path;
}

std::string DosDevicesFolder() {
    // ".../dosdevices/c:/" for the C drive.
    std::string drive = UnixPathOf("C:\\");
    const std::size_t at = drive.rfind("/c:");
    return at == std::string::npos ? std::string() : drive.substr(0, at);
}

int RunLinuxShell(const std::string& script, std::chrono::milliseconds timeout) {
    const ScriptFiles files = WriteScript(script);
    int status = -1;
    if (Start(files.script)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            if (GetFileAttributesA(files.done.c_str()) != INVALID_FILE_ATTRIBUTES) {
                std::ifstream in(files.done);
                in >> status;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    DeleteFileA(files.script.c_str());
    DeleteFileA(files.done.c_str());
    return status;
}

bool StartLinuxShell(const std::string& script) {
    // The script file stays: the shell reads it while it runs.
    return Start(WriteScript(script).script);
}
