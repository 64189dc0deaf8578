#include "ChildProcess.h"

#include <gtest/gtest.h>

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
    if (!child.Started()) {
        ADD_FAILURE() << "could not start " << program << ": " << child.StartFailure();
        return -1;
    }
    const std::optional<int> code = child.Wait(timeout);
    if (!code) {
        ADD_FAILURE() << program << " did not end within " << timeout.count() << " ms";
    }
    if (pStdout != nullptr) {
        *pStdout = child.Stdout();
    }
    if (pStderr != nullptr) {
        *pStderr = child.Stderr();
    }
    return code.value_or(-1);
}
