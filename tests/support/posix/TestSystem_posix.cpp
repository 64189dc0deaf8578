#include <dirent.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <fstream>

#include "TestSystem.h"

bool MakeSymbolicLink(const std::string& target, const std::string& link) {
    return ::symlink(target.c_str(), link.c_str()) == 0;
}

bool ResizeFile(const std::string& path, std::uint64_t size) {
    return ::truncate(path.c_str(), static_cast<off_t>(size)) == 0;
}

bool SystemReplacesOpenFiles() {
    return true;
}

void SetTestEnvironment(const char* name, const char* value) {
    ::setenv(name, value, 1);
}

void ClearTestEnvironment(const char* name) {
    ::unsetenv(name);
}

int ProcessThreadCount() {
    return ThreadCountOfProcess(static_cast<std::uint32_t>(::getpid()));
}

int ThreadCountOfProcess(std::uint32_t processId) {
    std::ifstream status("/proc/" + std::to_string(processId) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Threads:", 0) == 0) {
            return std::stoi(line.substr(8));
        }
    }
    return -1;
}

int ProcessHandleCount() {
    int count = 0;
    DIR* dir = ::opendir("/proc/self/fd");
    if (dir == nullptr) {
        return -1;
    }
    while (::readdir(dir) != nullptr) {
        ++count;
    }
    ::closedir(dir);
    return count;
}

void RestoreBrokenPipeDefault() {
    std::signal(SIGPIPE, SIG_DFL);
}

bool RunsUnderWine() {
    return false;
}

std::string PathFromDriveRoot(const std::string& path) {
    return path;
}
