#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/FileHandle.h"
#include "platform/SystemError.h"

namespace {
FileError LastFileError() {
    return FileErrorOf(LastSystemError());
}

// O_NOCTTY: a name may lead to a terminal device; opening it, even only to refuse it, must never
// make it the controlling terminal of the program.
constexpr int kOpenFlags = O_CLOEXEC | O_NOCTTY;
}  // namespace

namespace {
FileError OpenInto(std::intptr_t& hFile, const std::string& path, int flags, mode_t mode) {
    int fd;
    do {
        fd = ::open(path.c_str(), flags | kOpenFlags, mode);
    } while (fd == -1 && errno == EINTR);
    if (fd == -1) {
        return LastFileError();
    }
    hFile = fd;
    return FileError::None;
}
}  // namespace

FileError CFileHandle::OpenForRead(const std::string& path) {
    Close();
    // O_NONBLOCK: the open of a named pipe without a writer, or of a terminal without carrier,
    // would otherwise wait for ever. What was opened is then judged by its descriptor.
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | kOpenFlags);
    } while (fd == -1 && errno == EINTR);
    if (fd == -1) {
        // Only special files fail like this: a socket, or a device without a driver.
        return errno == ENXIO || errno == ENODEV ? FileError::NotRegularFile : LastFileError();
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const FileError error = LastFileError();
        ::close(fd);
        return error;
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        return FileError::NotRegularFile;
    }
    // A regular file is read as usual from here on (the flag matters to some network file
    // systems with mandatory locks).
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags != -1) {
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    }
    m_hFile = fd;
    return FileError::None;
}

FileError CFileHandle::CreateForWrite(const std::string& path) {
    Close();
    return OpenInto(m_hFile, path, O_WRONLY | O_CREAT | O_TRUNC, 0666);
}

FileError CFileHandle::CreateNewForWrite(const std::string& path) {
    Close();
    return OpenInto(m_hFile, path, O_WRONLY | O_CREAT | O_EXCL, 0666);
}

void CFileHandle::Close() {
    if (m_hFile != -1) {
        // Linux releases the descriptor even when close() reports EINTR: never retry.
        ::close(std::exchange(m_hFile, -1));
    }
}

FileError CFileHandle::CloseChecked() {
    if (m_hFile == -1) {
        return FileError::None;
    }
    if (::close(std::exchange(m_hFile, -1)) != 0 && errno != EINTR) {
        return LastFileError();
    }
    return FileError::None;
}

namespace {
FileError LockNoWait(int hFile, int operation) {
    if (hFile == -1) {
        return FileErrorOf(SystemErrorFromCode(EBADF));
    }
    int rc;
    do {
        rc = ::flock(hFile, operation | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    return rc == 0 ? FileError::None : LastFileError();
}
}  // namespace

FileError CFileHandle::LockShared() {
    return LockNoWait(m_hFile, LOCK_SH);
}

FileError CFileHandle::LockExclusiveNoWait() {
    return LockNoWait(m_hFile, LOCK_EX);
}

void CFileHandle::Unlock() {
    if (m_hFile != -1) {
        ::flock(m_hFile, LOCK_UN);
    }
}

FileReadResult CFileHandle::Read(void* buffer, std::size_t size) {
    ssize_t n;
    do {
        n = ::read(m_hFile, buffer, size);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        return {0, LastFileError()};
    }
    return {static_cast<std::size_t>(n), FileError::None};
}

FileReadResult CFileHandle::ReadAt(std::uint64_t offset, void* buffer, std::size_t size) const {
    std::size_t total = 0;
    auto* bytes = static_cast<char*>(buffer);
    while (total < size) {
        const ssize_t n =
            ::pread(m_hFile, bytes + total, size - total, static_cast<off_t>(offset + total));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return {total, LastFileError()};
        }
        if (n == 0) {
            break;
        }
        total += static_cast<std::size_t>(n);
    }
    return {total, FileError::None};
}

FileError CFileHandle::WriteAll(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(m_hFile, bytes, size);
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

FileError CFileHandle::Rewind() {
    return ::lseek(m_hFile, 0, SEEK_SET) == 0 ? FileError::None : LastFileError();
}

FileError CFileHandle::Sync() {
    return ::fsync(m_hFile) == 0 ? FileError::None : LastFileError();
}

FileError CFileHandle::SizeOf(std::uint64_t& size) const {
    struct stat info {};
    if (::fstat(m_hFile, &info) != 0) {
        return LastFileError();
    }
    size = static_cast<std::uint64_t>(info.st_size);
    return FileError::None;
}

FileError CFileHandle::CopyPermissionsFrom(const CFileHandle& other) {
    struct stat mine {};
    if (::fstat(m_hFile, &mine) != 0) {
        return LastFileError();
    }
    if (!S_ISREG(mine.st_mode)) {
        return FileError::None;  // never change the mode of a device or the like
    }
    struct stat info {};
    if (::fstat(other.m_hFile, &info) != 0) {
        return LastFileError();
    }
    return ::fchmod(m_hFile, info.st_mode & 07777) == 0 ? FileError::None : LastFileError();
}

bool CFileHandle::IsSameFileAs(const std::string& path) const {
    struct stat mine {};
    struct stat theirs {};
    if (m_hFile == -1 || ::fstat(m_hFile, &mine) != 0 || ::stat(path.c_str(), &theirs) != 0) {
        return false;
    }
    return mine.st_dev == theirs.st_dev && mine.st_ino == theirs.st_ino;
}
