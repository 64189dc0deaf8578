#include "datafile/FilesInPlay.h"

#include <map>
#include <mutex>
#include <utility>

#include "platform/FileSystem.h"

namespace {
struct Registry {
    std::mutex mutex;
    std::map<std::string, int> counts;  // canonical path -> number of registrations
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

void AddCanonical(const std::string& canonical) {
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    ++registry.counts[canonical];
}

void RemoveCanonical(const std::string& canonical) {
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    if (auto it = registry.counts.find(canonical); it != registry.counts.end()) {
        if (--it->second <= 0) {
            registry.counts.erase(it);
        }
    }
}
}  // namespace

void CFilesInPlay::Add(const std::string& path) {
    AddCanonical(CanonicalPath(path));
}

void CFilesInPlay::Remove(const std::string& path) {
    RemoveCanonical(CanonicalPath(path));
}

bool CFilesInPlay::Contains(const std::string& path) {
    const std::string canonical = CanonicalPath(path);
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    return registry.counts.count(canonical) != 0;
}

// The guard keeps the canonical name it registered, so that its removal matches even when the
// file has been renamed or deleted in the meantime.
CFileInPlayGuard::CFileInPlayGuard(const std::string& path) : m_strPath(CanonicalPath(path)) {
    if (!m_strPath.empty()) {
        AddCanonical(m_strPath);
    }
}

CFileInPlayGuard::~CFileInPlayGuard() {
    if (!m_strPath.empty()) {
        RemoveCanonical(m_strPath);
    }
}

CFileInPlayGuard::CFileInPlayGuard(CFileInPlayGuard&& other) noexcept
    : m_strPath(std::exchange(other.m_strPath, std::string())) {}

CFileInPlayGuard& CFileInPlayGuard::operator=(CFileInPlayGuard&& other) noexcept {
    if (this != &other) {
        if (!m_strPath.empty()) {
            RemoveCanonical(m_strPath);
        }
        m_strPath = std::exchange(other.m_strPath, std::string());
    }
    return *this;
}
