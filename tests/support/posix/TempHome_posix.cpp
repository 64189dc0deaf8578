#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "TempHome.h"

namespace {
const char* const kVariables[3] = {"HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"};
}

// Child processes inherit the variables, so both scopes are the same here.
struct TempHome::SavedState {
    std::string values[3];
    bool had[3] = {};
};

TempHome::TempHome(StoreScope /*scope*/) : m_saved(std::make_unique<SavedState>()) {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "tillstream-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    m_root = pattern;
    ::mkdir(ConfigRoot().c_str(), 0700);
    ::mkdir(RuntimeFolder().c_str(), 0700);
    const std::string values[3] = {m_root, ConfigRoot(), RuntimeFolder()};
    for (int i = 0; i < 3; ++i) {
        if (const char* old = std::getenv(kVariables[i]); old != nullptr) {
            m_saved->had[i] = true;
            m_saved->values[i] = old;
        }
        ::setenv(kVariables[i], values[i].c_str(), 1);
    }
}

TempHome::~TempHome() {
    for (int i = 0; i < 3; ++i) {
        if (m_saved->had[i]) {
            ::setenv(kVariables[i], m_saved->values[i].c_str(), 1);
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

std::string TempHome::DefaultCaptureFolder() const {
    return m_root + "/Tillstream";
}
