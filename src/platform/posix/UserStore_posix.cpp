#include "platform/UserStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>
#include <vector>

#include "platform/UserFolders.h"

namespace {

std::vector<std::string> KeyComponents(const char* subKey) {
    std::vector<std::string> parts;
    std::string current;
    for (const char* p = subKey; *p != '\0'; ++p) {
        if (*p == '\\' || *p == '/') {
            if (!current.empty()) {
                parts.push_back(current);
            }
            current.clear();
        } else {
            current += *p;
        }
    }
    if (!current.empty()) {
        parts.push_back(current);
    }
    if (!parts.empty() && parts.front() == "SOFTWARE") {
        parts.erase(parts.begin());
    }
    return parts;
}

bool IsUsableFolder(const std::string& folder) {
    struct stat info {};
    return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           ::access(folder.c_str(), R_OK | W_OK | X_OK) == 0;
}

bool WriteAll(int fd, const unsigned char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

UserStoreResult OpenKey(const char* subKey, bool create, std::string* folder) {
    std::string path = UserConfigRoot();
    if (create) {
        ::mkdir(path.c_str(), 0700);
    }
    for (const std::string& part : KeyComponents(subKey)) {
        path += '/';
        path += part;
        if (create && ::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
            return UserStoreResult::KeyUnavailable;
        }
    }
    if (!IsUsableFolder(path)) {
        return UserStoreResult::KeyUnavailable;
    }
    *folder = path;
    return UserStoreResult::Ok;
}

UserStoreResult ReadValue(const std::string& keyFolder, const char* valueName, void* buffer,
                          uint32_t* size) {
    const std::string path = keyFolder + "/" + valueName;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return UserStoreResult::ValueUnavailable;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<unsigned long long>(info.st_size) > *size) {
        ::close(fd);
        return UserStoreResult::ValueUnavailable;
    }
    // Read into a scratch buffer first: a value that shrinks or fails half-way must not leave
    // the caller's buffer half overwritten.
    std::vector<unsigned char> bytes(static_cast<std::size_t>(info.st_size) + 1);
    std::size_t total = 0;
    for (;;) {
        const ssize_t got = ::read(fd, bytes.data() + total, bytes.size() - total);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            ::close(fd);
            return UserStoreResult::ValueUnavailable;
        }
        if (got == 0) {
            break;
        }
        total += static_cast<std::size_t>(got);
        if (total > *size) {  // it grew past the capacity since fstat
            ::close(fd);
            return UserStoreResult::ValueUnavailable;
        }
        if (total == bytes.size()) {
            bytes.resize(bytes.size() * 2);
        }
    }
    ::close(fd);
    std::copy(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(total),
              static_cast<unsigned char*>(buffer));
    *size = static_cast<uint32_t>(total);
    return UserStoreResult::Ok;
}

UserStoreResult WriteValue(const std::string& keyFolder, const char* valueName, const void* data,
                           uint32_t size) {
    const std::string target = keyFolder + "/" + valueName;
    std::string temporary = keyFolder + "/." + valueName + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        return UserStoreResult::ValueUnavailable;
    }
    const bool written =
        WriteAll(fd, static_cast<const unsigned char*>(data), size) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || ::rename(temporary.c_str(), target.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return UserStoreResult::ValueUnavailable;
    }
    // Make the rename itself durable.
    if (const int dir = ::open(keyFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return UserStoreResult::Ok;
}

}  // namespace

UserStoreResult UserStoreQueryValue(const char* subKey, const char* valueName, void* buffer,
                                    uint32_t* size) {
    std::string folder;
    if (const UserStoreResult result = OpenKey(subKey, /*create=*/false, &folder);
        result != UserStoreResult::Ok) {
        return result;
    }
    return ReadValue(folder, valueName, buffer, size);
}

UserStoreResult UserStoreSetValue(const char* subKey, const char* valueName, uint32_t /*type*/,
                                  const void* data, uint32_t size) {
    // A folder of files keeps bytes only: the type of a value is not recorded.
    std::string folder;
    if (const UserStoreResult result = OpenKey(subKey, /*create=*/true, &folder);
        result != UserStoreResult::Ok) {
        return result;
    }
    return WriteValue(folder, valueName, data, size);
}
