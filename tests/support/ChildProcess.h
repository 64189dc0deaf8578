#pragma once
// A program run as a child process for integration tests: its standard output and standard
// error are collected on a thread of their own, so a test can wait for a line to appear, send it
// a signal and wait for its exit code. The child inherits the test's environment (TempHome sets
// HOME and the XDG folders), so each test's child sees only that test's files. Every wait is
// bounded. Test use only; one thread drives it.
#include <chrono>
#include <condition_variable>
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

    bool Started() const { return m_pid > 0; }

    // Waits until standard error (or output) holds `text`; true when it does.
    bool WaitForStderr(const std::string& text, std::chrono::milliseconds timeout = kChildWait);
    bool WaitForStdout(const std::string& text, std::chrono::milliseconds timeout = kChildWait);

    // Waits for a whole line of standard error that begins with `prefix` and returns it (without
    // its line end); empty when none came in time.
    std::string WaitForStderrLine(const std::string& prefix,
                                  std::chrono::milliseconds timeout = kChildWait);

    void Signal(int signalNumber) const;
    // The exit code (128 + n for a death by signal n), or nothing when it has not ended in time.
    std::optional<int> Wait(std::chrono::milliseconds timeout = kChildWait);

    std::string Stdout() const;
    std::string Stderr() const;

  private:
    void Collect(int fd, std::string* target);
    bool WaitForText(const std::string* source, const std::string& text,
                     std::chrono::milliseconds timeout);

    int m_pid = -1;
    std::optional<int> m_exitCode;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::string m_stdout;
    std::string m_stderr;
    std::thread m_outThread;
    std::thread m_errThread;
};

// Runs `program` with `args` to its end and returns its exit code (-1 when it did not end in
// time), with its standard output and error in the optional strings.
int RunChild(const std::string& program, const std::vector<std::string>& args,
             std::string* pStdout = nullptr, std::string* pStderr = nullptr,
             std::chrono::milliseconds timeout = kChildWait);
