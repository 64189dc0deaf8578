#include "TempHome.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace {
const char* const kVariables[3] = {"HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"};
}

TempHome::TempHome() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "tillstream-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    m_root = pattern;
    ::mkdir((m_root + "/config").c_str(), 0700);
    ::mkdir((m_root + "/run").c_str(), 0700);
    const std::string values[3] = {m_root, m_root + "/config", m_root + "/run"};
    for (int i = 0; i < 3; ++i) {
        if (const char* old = std::getenv(kVariables[i]); old != nullptr) {
            m_had[i] = true;
            m_saved[i] = old;
        }
        ::setenv(kVariables[i], values[i].c_str(), 1);
    }
}

TempHome::~TempHome() {
    for (int i = 0; i < 3; ++i) {
        if (m_had[i]) {
            ::setenv(kVariables[i], m_saved[i].c_str(), 1);
        } else {
            ::unsetenv(kVariables[i]);
        }
    }
    std::error_code ignored;
    // Folders a test made unreadable must not stop the clean-up.
    for (auto it = std::filesystem::recursive_directory_iterator(
             m_root, std::filesystem::directory_options::skip_permission_denied, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
        if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ignored);
        }
    }
    ::chmod(m_root.c_str(), 0700);
    std::filesystem::remove_all(m_root, ignored);
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool FileExists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}
