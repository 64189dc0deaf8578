#include "ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args) {
    int outPipe[2];
    int errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0) {
        return;
    }
    if (::pipe2(errPipe, O_CLOEXEC) != 0) {
        ::close(outPipe[0]);
        ::close(outPipe[1]);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
    // The child starts with the default signal mask and actions whatever the test runner set.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t empty;
    sigemptyset(&empty);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigmask(&attributes, &empty);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<std::string> words;
    words.push_back(program);
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (::posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ) == 0) {
        m_pid = pid;
    }
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    m_outThread = std::thread(&ChildProcess::Collect, this, outPipe[0], &m_stdout);
    m_errThread = std::thread(&ChildProcess::Collect, this, errPipe[0], &m_stderr);
}

ChildProcess::~ChildProcess() {
    if (m_pid > 0 && !m_exitCode) {
        ::kill(m_pid, SIGKILL);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
    }
    if (m_outThread.joinable()) {
        m_outThread.join();
    }
    if (m_errThread.joinable()) {
        m_errThread.join();
    }
}

void ChildProcess::Collect(int fd, std::string* target) {
    char buffer[4096];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            break;
        }
        std::lock_guard lock(m_mutex);
        target->append(buffer, static_cast<std::size_t>(count));
        m_changed.notify_all();
    }
    ::close(fd);
}

bool ChildProcess::WaitForText(const std::string* source, const std::string& text,
                               std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout,
                              [&] { return source->find(text) != std::string::npos; });
}

bool ChildProcess::WaitForStderr(const std::string& text, std::chrono::milliseconds timeout) {
    return WaitForText(&m_stderr, text, timeout);
}

bool ChildProcess::WaitForStdout(const std::string& text, std::chrono::milliseconds timeout) {
    return WaitForText(&m_stdout, text, timeout);
}

std::string ChildProcess::WaitForStderrLine(const std::string& prefix,
                                            std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    std::string line;
    m_changed.wait_for(lock, timeout, [&] {
        const std::size_t at = m_stderr.find(prefix);
        if (at == std::string::npos) {
            return false;
        }
        const std::size_t end = m_stderr.find('\n', at);
        if (end == std::string::npos) {
            return false;
        }
        line = m_stderr.substr(at, end - at);
        return true;
    });
    return line;
}

void ChildProcess::Signal(int signalNumber) const {
    if (m_pid > 0 && !m_exitCode) {
        ::kill(m_pid, signalNumber);
    }
}

std::optional<int> ChildProcess::Wait(std::chrono::milliseconds timeout) {
    if (m_exitCode || m_pid <= 0) {
        return m_exitCode;
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(m_pid, &status, WNOHANG);
        if (done == m_pid) {
            m_exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // The output is complete once the child has gone and the pipes are drained.
    if (m_outThread.joinable()) {
        m_outThread.join();
    }
    if (m_errThread.joinable()) {
        m_errThread.join();
    }
    return m_exitCode;
}

std::string ChildProcess::Stdout() const {
    std::lock_guard lock(m_mutex);
    return m_stdout;
}

std::string ChildProcess::Stderr() const {
    std::lock_guard lock(m_mutex);
    return m_stderr;
}

int RunChild(const std::string& program, const std::vector<std::string>& args, std::string* pStdout,
             std::string* pStderr, std::chrono::milliseconds timeout) {
    ChildProcess child(program, args);
    const std::optional<int> code = child.Wait(timeout);
    if (pStdout != nullptr) {
        *pStdout = child.Stdout();
    }
    if (pStderr != nullptr) {
        *pStderr = child.Stderr();
    }
    return code.value_or(-1);
}
