// Child processes on Windows. The child gets a console of its own (hidden), so that a Ctrl-C can be
// sent to it alone: the test attaches to that console for a moment and raises the event there.
#include <windows.h>

#include <algorithm>
#include <mutex>
#include <string>

#include "ChildProcess.h"
#include "TestSystem.h"

namespace {
// One command-line word as the C runtime will split it again: quoted when it holds a blank or a
// quote, with the backslashes before a quote doubled.
std::string QuotedWord(const std::string& word) {
    if (!word.empty() && word.find_first_of(" \t\n\v\"") == std::string::npos) {
        return word;
    }
    std::string quoted(1, '"');
    std::size_t backslashes = 0;
    for (const char c : word) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            quoted.append(backslashes * 2 + 1, '\\');
        } else {
            quoted.append(backslashes, '\\');
        }
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    quoted += '"';
    return quoted;
}

constexpr int kStartAttempts = 5;
constexpr DWORD kStartRetryPauseMs = 200;

std::string SystemErrorText(DWORD error) {
    char text[256] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                   text, sizeof text, nullptr);
    std::string message = "error " + std::to_string(error) + " " + text;
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) {
        message.pop_back();
    }
    return message;
}

HANDLE Native(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

// Attaching to another console is a matter of the whole test process: one at a time.
std::mutex g_consoleMutex;

// The test process takes the Ctrl-C it raises on a child's console itself, and lives on. (A
// handler, not the "ignore Ctrl-C" flag: children inherit that flag and would ignore theirs.)
BOOL WINAPI SwallowConsoleEvent(DWORD /*event*/) {
    return TRUE;
}
}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args) {
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE outRead = nullptr;
    HANDLE outWrite = nullptr;
    HANDLE errRead = nullptr;
    HANDLE errWrite = nullptr;
    if (!CreatePipe(&outRead, &outWrite, &inheritable, 0)) {
        m_startFailure = "no pipe: " + SystemErrorText(GetLastError());
        return;
    }
    if (!CreatePipe(&errRead, &errWrite, &inheritable, 0)) {
        m_startFailure = "no pipe: " + SystemErrorText(GetLastError());
        CloseHandle(outRead);
        CloseHandle(outWrite);
        return;
    }
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    const HANDLE input = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     &inheritable, OPEN_EXISTING, 0, nullptr);

    std::string commandLine = QuotedWord(program);
    for (const std::string& arg : args) {
        commandLine += ' ';
        commandLine += QuotedWord(arg);
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    startup.hStdInput = input;
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    PROCESS_INFORMATION process{};
    // Under Wine on a loaded machine a start can fail for a moment (the new console's host is
    // started with the child and may not come up in time); a few tries make that a delay, and a
    // start that still fails says why instead of passing for a child that never ended.
    DWORD error = ERROR_SUCCESS;
    for (int attempt = 0; attempt < kStartAttempts; ++attempt) {
        if (attempt > 0) {
            Sleep(kStartRetryPauseMs);
        }
        if (CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                           CREATE_NEW_CONSOLE, nullptr, nullptr, &startup, &process)) {
            CloseHandle(process.hThread);
            m_hProcess = reinterpret_cast<std::intptr_t>(process.hProcess);
            m_processId = process.dwProcessId;
            break;
        }
        error = GetLastError();
        m_startFailure += (m_startFailure.empty() ? "" : "; ") + SystemErrorText(error);
    }
    if (m_hProcess != -1) {
        m_startFailure.clear();
    }
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    if (input != INVALID_HANDLE_VALUE) {
        CloseHandle(input);
    }
    m_outThread = std::thread(&ChildProcess::Collect, this,
                              reinterpret_cast<std::intptr_t>(outRead), &m_stdout);
    m_errThread = std::thread(&ChildProcess::Collect, this,
                              reinterpret_cast<std::intptr_t>(errRead), &m_stderr);
}

ChildProcess::~ChildProcess() {
    if (m_hProcess != -1) {
        if (!m_exitCode) {
            TerminateProcess(Native(m_hProcess), 137);
            WaitForSingleObject(Native(m_hProcess), INFINITE);
        }
    }
    if (m_outThread.joinable()) {
        m_outThread.join();
    }
    if (m_errThread.joinable()) {
        m_errThread.join();
    }
    if (m_hProcess != -1) {
        CloseHandle(Native(m_hProcess));
    }
}

void ChildProcess::Collect(std::intptr_t pipe, std::string* target) {
    // The pipe is read while there is something in it, and given up once the child has gone and
    // it is empty: the child's console host (Wine's conhost) may hold on to the pipe's other end
    // for longer than the child lives, so the end of the pipe alone would never come.
    char buffer[4096];
    for (;;) {
        DWORD available = 0;
        if (!PeekNamedPipe(Native(pipe), nullptr, 0, nullptr, &available, nullptr)) {
            break;  // the other end is closed and everything read
        }
        if (available == 0) {
            if (m_hProcess == -1 || WaitForSingleObject(Native(m_hProcess), 0) == WAIT_OBJECT_0) {
                // Gone: whatever it wrote before it ended is in the pipe by now.
                if (!PeekNamedPipe(Native(pipe), nullptr, 0, nullptr, &available, nullptr) ||
                    available == 0) {
                    break;
                }
            } else {
                Sleep(2);
                continue;
            }
        }
        DWORD count = 0;
        if (!ReadFile(Native(pipe), buffer, std::min<DWORD>(sizeof buffer, available), &count,
                      nullptr) ||
            count == 0) {
            break;
        }
        std::lock_guard lock(m_mutex);
        target->append(buffer, count);
        m_changed.notify_all();
    }
    CloseHandle(Native(pipe));
}

void ChildProcess::Interrupt() const {
    if (m_hProcess == -1 || m_exitCode) {
        return;
    }
    std::lock_guard lock(g_consoleMutex);
    static const bool bInstalled = SetConsoleCtrlHandler(SwallowConsoleEvent, TRUE) != 0;
    (void)bInstalled;
    FreeConsole();
    if (AttachConsole(m_processId)) {
        GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
        FreeConsole();
    }
}

void ChildProcess::Kill() const {
    if (m_hProcess != -1 && !m_exitCode) {
        TerminateProcess(Native(m_hProcess), 137);
    }
}

std::optional<int> ChildProcess::Wait(std::chrono::milliseconds timeout) {
    if (m_exitCode || m_hProcess == -1) {
        return m_exitCode;
    }
    if (WaitForSingleObject(Native(m_hProcess), static_cast<DWORD>(timeout.count())) !=
        WAIT_OBJECT_0) {
        return std::nullopt;
    }
    DWORD code = 0;
    GetExitCodeProcess(Native(m_hProcess), &code);
    m_exitCode = static_cast<int>(code);
    // The output is complete once the child has gone and the pipes are drained.
    if (m_outThread.joinable()) {
        m_outThread.join();
    }
    if (m_errThread.joinable()) {
        m_errThread.join();
    }
    return m_exitCode;
}

int ChildProcess::ThreadCount() const {
    return ThreadCountOfProcess(m_hProcess == -1 ? 0 : GetProcessId(Native(m_hProcess)));
}
