#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <utility>
#include <vector>

#include "platform/FileHandle.h"
#include "platform/FileSystem.h"
#include "platform/SystemError.h"

namespace {
FileError LastFileError() {
    return FileErrorOf(LastSystemError());
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

FileKind KindOf(mode_t mode) {
    if (S_ISREG(mode)) {
        return FileKind::Regular;
    }
    if (S_ISDIR(mode)) {
        return FileKind::Directory;
    }
    if (S_ISFIFO(mode)) {
        return FileKind::NamedPipe;
    }
    if (S_ISCHR(mode)) {
        return FileKind::CharacterDevice;
    }
    if (S_ISBLK(mode)) {
        return FileKind::BlockDevice;
    }
    if (S_ISSOCK(mode)) {
        return FileKind::Socket;
    }
    return FileKind::Other;
}

// Hidden copies are named ".tillstream-copy-PID-COUNTER-RANDOM", so that the process that made
// one can be told from its name.
constexpr char kCopyPrefix[] = ".tillstream-copy-";

// A name next to `path` that no other copy in this or another process picks at the same time.
std::string UniqueSiblingName(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    static thread_local std::mt19937 random{std::random_device{}()};
    char suffix[80];
    std::snprintf(suffix, sizeof suffix, "/%s%ld-%u-%08x", kCopyPrefix,
                  static_cast<long>(::getpid()), counter.fetch_add(1),
                  static_cast<unsigned>(random()));
    return FolderOf(path) + suffix;
}

// The process that made the hidden copy `name`, or 0 when the name is not one of ours.
long CopyOwner(const char* name) {
    const std::size_t prefixLength = sizeof kCopyPrefix - 1;
    if (std::strncmp(name, kCopyPrefix, prefixLength) != 0) {
        return 0;
    }
    char* end = nullptr;
    const long pid = std::strtol(name + prefixLength, &end, 10);
    return end != name + prefixLength && *end == '-' && pid > 0 ? pid : 0;
}

// Removes the hidden copies in `folder` whose process has ended: a copy killed half-way left
// them, and nothing else ever will. Copies of a running process (this one included) are its own
// business and stay. Best effort: a folder that cannot be read is left as it is.
void RemoveStaleCopies(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const long pid = CopyOwner(entry->d_name);
        if (pid != 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
        }
    }
    ::closedir(dir);
}

// Owns one descriptor of this file's making.
class CDescriptor {
  public:
    explicit CDescriptor(int fd) : m_fd(fd) {}
    ~CDescriptor() {
        if (m_fd != -1) {
            ::close(m_fd);
        }
    }
    CDescriptor(const CDescriptor&) = delete;
    CDescriptor& operator=(const CDescriptor&) = delete;
    int Get() const { return m_fd; }
    // Closes now and reports a delayed write error.
    FileError CloseChecked() {
        const int fd = std::exchange(m_fd, -1);
        return ::close(fd) != 0 && errno != EINTR ? LastFileError() : FileError::None;
    }

  private:
    int m_fd;
};

FileError WriteAllTo(int fd, const char* bytes, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, bytes, size);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return LastFileError();
        }
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return FileError::None;
}

// Copies the rest of `source` into `fd`, gives it the source's permission bits and makes it
// durable: nothing may be put in place whose data is not on the disk yet.
FileError FillCopy(CFileHandle& source, int fd) {
    std::vector<char> buffer(256 * 1024);
    for (;;) {
        const FileReadResult read = source.Read(buffer.data(), buffer.size());
        if (read.error != FileError::None) {
            return read.error;
        }
        if (read.bytes == 0) {
            break;
        }
        if (const FileError error = WriteAllTo(fd, buffer.data(), read.bytes);
            error != FileError::None) {
            return error;
        }
    }
    struct stat info {};
    if (::fstat(source.Get(), &info) != 0 || ::fchmod(fd, info.st_mode & 07777) != 0 ||
        ::fsync(fd) != 0) {
        return LastFileError();
    }
    return FileError::None;
}

// Gives the unnamed file `fd` the new hidden name `hidden`: through its /proc entry, or, where
// /proc is missing, directly (which needs a privilege that not every user has).
int LinkUnnamed(int fd, const std::string& hidden) {
    char self[64];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
    if (::linkat(AT_FDCWD, self, AT_FDCWD, hidden.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        return 0;
    }
    if (errno != ENOENT) {
        return -1;
    }
    return ::linkat(fd, "", AT_FDCWD, hidden.c_str(), AT_EMPTY_PATH);
}

// The copy is written into a file that has no name (O_TMPFILE) in `to`'s folder: a process
// killed meanwhile leaves nothing, the system frees the file with its last descriptor. Complete
// and synced, it gets a hidden name and is renamed over `to` at once; only a kill between those
// two steps leaves the hidden name, for RemoveStaleCopies. Sets `bNeedsName` (and touches
// nothing) when this file system cannot make or name such a file.
FileError CopyThroughUnnamedFile(CFileHandle& source, const std::string& to, bool& bNeedsName) {
    bNeedsName = false;
    int fd;
    do {
        fd = ::open(FolderOf(to).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    } while (fd == -1 && errno == EINTR);
    if (fd == -1) {
        bNeedsName = errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL;
        return LastFileError();
    }
    CDescriptor copy(fd);
    if (const FileError error = FillCopy(source, copy.Get()); error != FileError::None) {
        return error;
    }
    std::string hidden;
    int rc = -1;
    for (int attempt = 0; attempt < 100 && rc != 0; ++attempt) {
        hidden = UniqueSiblingName(to);
        rc = LinkUnnamed(copy.Get(), hidden);
        if (rc != 0 && errno != EEXIST) {
            break;
        }
    }
    if (rc != 0) {
        // No /proc and no privilege to link directly (ENOENT, EPERM): only a named file will do.
        bNeedsName = errno == ENOENT || errno == EPERM || errno == EOPNOTSUPP;
        return LastFileError();
    }
    FileError error = copy.CloseChecked();
    if (error == FileError::None) {
        error = RenameReplace(hidden, to);
    }
    if (error != FileError::None) {
        ::unlink(hidden.c_str());
    }
    return error;
}

// The copy is written under a new hidden name in `to`'s folder, so that the final rename stays
// on one file system and `to` is never seen half written.
FileError CopyThroughHiddenFile(CFileHandle& source, const std::string& to) {
    std::string hidden;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd == -1; ++attempt) {
        hidden = UniqueSiblingName(to);
        do {
            fd = ::open(hidden.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        } while (fd == -1 && errno == EINTR);
        if (fd == -1 && errno != EEXIST) {
            return LastFileError();
        }
    }
    if (fd == -1) {
        return FileError::AlreadyExists;
    }
    CDescriptor copy(fd);
    FileError error = FillCopy(source, copy.Get());
    if (const FileError closeError = copy.CloseChecked(); error == FileError::None) {
        error = closeError;
    }
    if (error == FileError::None) {
        error = RenameReplace(hidden, to);
    }
    if (error != FileError::None) {
        ::unlink(hidden.c_str());
    }
    return error;
}

// Makes a rename in `folder` survive a power loss. Best effort: some file systems refuse to sync
// a folder, and the rename itself has already happened.
void SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd != -1) {
        ::fsync(fd);
        ::close(fd);
    }
}
}  // namespace

char PreferredPathSeparator() {
    return '/';
}

bool IsPathSeparator(char c) {
    return c == '/';
}

bool PathExists(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::lstat(path.c_str(), &info) == 0;
}

FileError CheckRegularFile(const std::string& path, FileKind& kind) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return LastFileError();
    }
    kind = KindOf(info.st_mode);
    return kind == FileKind::Regular ? FileError::None : FileError::NotRegularFile;
}

FileError ResolveFilePath(const std::string& path, std::string& resolved) {
    char* result = ::realpath(path.c_str(), nullptr);
    if (result == nullptr) {
        return LastFileError();
    }
    resolved = result;
    std::free(result);
    return FileError::None;
}

FileError RemoveFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0 ? FileError::None : LastFileError();
}

FileError RenameReplace(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) != 0) {
        return LastFileError();
    }
    SyncFolder(FolderOf(to));
    return FileError::None;
}

FileError CopyFileReplace(const std::string& from, const std::string& to) {
    CFileHandle source;
    if (const FileError error = source.OpenForRead(from); error != FileError::None) {
        return error;
    }
    RemoveStaleCopies(FolderOf(to));
    bool bNeedsName = false;
    FileError error = CopyThroughUnnamedFile(source, to, bNeedsName);
    if (bNeedsName) {
        // This file system cannot make or name a file without a name: a hidden one it is.
        error = source.Rewind();
        if (error == FileError::None) {
            error = CopyThroughHiddenFile(source, to);
        }
    }
    return error;
}

FileError MakeDirectory(const std::string& path) {
    return ::mkdir(path.c_str(), 0777) == 0 ? FileError::None : LastFileError();
}

std::int64_t FileSizeOf(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return -1;
    }
    return static_cast<std::int64_t>(info.st_size);
}

std::string CanonicalPath(const std::string& path) {
    if (path.empty()) {
        return path;
    }
    std::error_code error;
    std::filesystem::path resolved = std::filesystem::weakly_canonical(path, error);
    if (error) {
        resolved = std::filesystem::absolute(path, error).lexically_normal();
        if (error) {
            return path;
        }
    }
    return resolved.string();
}
