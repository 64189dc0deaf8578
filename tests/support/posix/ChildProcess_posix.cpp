#include "ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>

#include "TestSystem.h"

extern char** environ;

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args) {
    int outPipe[2];
    int errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0) {
        m_startFailure = std::string("no pipe: ") + std::strerror(errno);
        return;
    }
    if (::pipe2(errPipe, O_CLOEXEC) != 0) {
        m_startFailure = std::string("no pipe: ") + std::strerror(errno);
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
    if (const int error =
            ::posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
        error == 0) {
        m_hProcess = pid;
        m_processId = static_cast<std::uint32_t>(pid);
    } else {
        m_startFailure = "error " + std::to_string(error) + ", " + std::strerror(error);
    }
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    m_outThread = std::thread(&ChildProcess::Collect, this, std::intptr_t{outPipe[0]}, &m_stdout);
    m_errThread = std::thread(&ChildProcess::Collect, this, std::intptr_t{errPipe[0]}, &m_stderr);
}

ChildProcess::~ChildProcess() {
    if (m_hProcess != -1 && !m_exitCode) {
        ::kill(static_cast<pid_t>(m_hProcess), SIGKILL);
        int status = 0;
        ::waitpid(static_cast<pid_t>(m_hProcess), &status, 0);
    }
    if (m_outThread.joinable()) {
        m_outThread.join();
    }
    if (m_errThread.joinable()) {
        m_errThread.join();
    }
}

void ChildProcess::Collect(std::intptr_t pipe, std::string* target) {
    const int fd = static_cast<int>(pipe);
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

void ChildProcess::Interrupt() const {
    if (m_hProcess != -1 && !m_exitCode) {
        ::kill(static_cast<pid_t>(m_hProcess), SIGINT);
    }
}

void ChildProcess::Signal(int signalNumber) const {
    if (m_hProcess != -1 && !m_exitCode) {
        ::kill(static_cast<pid_t>(m_hProcess), signalNumber);
    }
}

void ChildProcess::Kill() const {
    if (m_hProcess != -1 && !m_exitCode) {
        ::kill(static_cast<pid_t>(m_hProcess), SIGKILL);
    }
}

std::optional<int> ChildProcess::Wait(std::chrono::milliseconds timeout) {
    if (m_exitCode || m_hProcess == -1) {
        return m_exitCode;
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(static_cast<pid_t>(m_hProcess), &status, WNOHANG);
        if (done == static_cast<pid_t>(m_hProcess)) {
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

int ChildProcess::ThreadCount() const {
    return m_hProcess == -1 ? -1 : ThreadCountOfProcess(static_cast<std::uint32_t>(m_hProcess));
}
