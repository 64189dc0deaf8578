#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <vector>

#include "platform/FileHandle.h"
#include "platform/FileSystem.h"

namespace {
FileError LastSystemError() {
    return FileErrorFromSystemCode(errno);
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

// A name next to `path` that no other copy in this or another process picks at the same time.
std::string UniqueSiblingName(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    static thread_local std::mt19937 random{std::random_device{}()};
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, "/.tillstream-copy-%ld-%u-%08x",
                  static_cast<long>(::getpid()), counter.fetch_add(1),
                  static_cast<unsigned>(random()));
    return FolderOf(path) + suffix;
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
        return LastSystemError();
    }
    kind = KindOf(info.st_mode);
    return kind == FileKind::Regular ? FileError::None : FileError::NotRegularFile;
}

FileError ResolveFilePath(const std::string& path, std::string& resolved) {
    char* result = ::realpath(path.c_str(), nullptr);
    if (result == nullptr) {
        return LastSystemError();
    }
    resolved = result;
    std::free(result);
    return FileError::None;
}

FileError RemoveFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0 ? FileError::None : LastSystemError();
}

FileError RenameReplace(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) != 0) {
        return LastSystemError();
    }
    SyncFolder(FolderOf(to));
    return FileError::None;
}

FileError CopyFileReplace(const std::string& from, const std::string& to) {
    CFileHandle source;
    if (const FileError error = source.OpenForRead(from); error != FileError::None) {
        return error;
    }
    // The copy is made under a new hidden name in the target's folder, so that the final rename
    // stays on one file system and the target is never seen half written.
    std::string tempPath;
    CFileHandle target;
    FileError error = FileError::AlreadyExists;
    for (int attempt = 0; attempt < 100 && error == FileError::AlreadyExists; ++attempt) {
        tempPath = UniqueSiblingName(to);
        error = target.CreateNewForWrite(tempPath);
    }
    if (error != FileError::None) {
        return error;
    }
    {
        std::vector<char> buffer(256 * 1024);
        for (;;) {
            const FileReadResult read = source.Read(buffer.data(), buffer.size());
            if (read.error != FileError::None) {
                error = read.error;
                break;
            }
            if (read.bytes == 0) {
                break;
            }
            error = target.WriteAll(buffer.data(), read.bytes);
            if (error != FileError::None) {
                break;
            }
        }
    }
    if (error == FileError::None) {
        error = target.CopyPermissionsFrom(source);
    }
    if (error == FileError::None) {
        error = target.Sync();
    }
    if (const FileError closeError = target.CloseChecked(); error == FileError::None) {
        error = closeError;
    }
    if (error == FileError::None) {
        error = RenameReplace(tempPath, to);
    }
    if (error != FileError::None) {
        ::unlink(tempPath.c_str());
    }
    return error;
}

FileError MakeDirectory(const std::string& path) {
    return ::mkdir(path.c_str(), 0777) == 0 ? FileError::None : LastSystemError();
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
