#pragma once
// A program run as a child process for integration tests: its standard output and standard
// error are collected on a thread of their own, so a test can wait for a line to appear, stop it
// as Ctrl-C does and wait for its exit code. The child inherits the test's environment (TempHome
// sets HOME and the XDG folders), so each test's child sees only that test's files. On Windows the
// child gets a console of its own (hidden), which is where its Ctrl-C comes from. Every wait is
// bounded. Test use only; one thread drives it.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

inline constexpr std::chrono::milliseconds kChildWait{20000};

class ChildProcess {
  public:
    // Starts `program` with `args` (not including the program's name). Check Started().
    ChildProcess(const std::string& program, const std::vector<std::string>& args);
    ~ChildProcess();  // kills a child still running and reaps it
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return m_hProcess != -1; }
    // Why the child could not be started ("" when it was): the system's error code and text.
    const std::string& StartFailure() const { return m_startFailure; }

    // Waits until standard error (or output) holds `text`; true when it does.
    bool WaitForStderr(const std::string& text, std::chrono::milliseconds timeout = kChildWait);
    bool WaitForStdout(const std::string& text, std::chrono::milliseconds timeout = kChildWait);

    // Waits for a whole line of standard error that begins with `prefix` and returns it (without
    // its line end); empty when none came in time.
    std::string WaitForStderrLine(const std::string& prefix,
                                  std::chrono::milliseconds timeout = kChildWait);

    // Asks the child to stop as a user's Ctrl-C does (SIGINT; the console's Ctrl-C event).
    void Interrupt() const;
    // Sends the child signal `signalNumber` (Linux only: Windows has no signals to send).
    void Signal(int signalNumber) const;
    // Ends the child at once, with no chance to clean up (SIGKILL; TerminateProcess).
    void Kill() const;
    // The exit code (128 + n for a death by signal n, 137 after Kill on Windows), or nothing when
    // it has not ended in time.
    std::optional<int> Wait(std::chrono::milliseconds timeout = kChildWait);

    std::string Stdout() const;
    std::string Stderr() const;
    // The child's threads as the system counts them now (-1 when it cannot tell).
    int ThreadCount() const;

  private:
    void Collect(std::intptr_t pipe, std::string* target);
    bool WaitForText(const std::string* source, const std::string& text,
                     std::chrono::milliseconds timeout);

    std::intptr_t m_hProcess = -1;  // the process id on Linux, its HANDLE on Windows
    std::uint32_t m_processId = 0;
    std::string m_startFailure;
    std::optional<int> m_exitCode;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::string m_stdout;
    std::string m_stderr;
    std::thread m_outThread;
    std::thread m_errThread;
};

// Runs `program` with `args` to its end and returns its exit code, with its standard output and
// error in the optional strings. A child that could not be started, or did not end in time, is a
// test failure that says which of the two it was; the result is then -1.
int RunChild(const std::string& program, const std::vector<std::string>& args,
             std::string* pStdout = nullptr, std::string* pStderr = nullptr,
             std::chrono::milliseconds timeout = kChildWait);
