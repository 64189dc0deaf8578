// Files on Windows: CreateFileA with share modes. The locks of the neutral interface are the
// open's share mode: taking one re-opens the same file (ReOpenFile) with the narrower sharing,
// which the system refuses while another open conflicts with it, and then gives up the wider one.
#include <windows.h>

#include <utility>

#include "platform/FileHandle.h"
#include "platform/SystemError.h"
#include "platform/win32/FileKindOfHandle.h"

namespace {
HANDLE Native(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

std::intptr_t Stored(HANDLE handle) {
    return handle == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<std::intptr_t>(handle);
}

FileError LastFileError() {
    return FileErrorOf(LastSystemError());
}

// Readers that only display or classify a file let others do anything with it.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// A file being played: others may read it, but not change, rename or delete it.
constexpr DWORD kSharePlaying = FILE_SHARE_READ;
// A file being replaced: others may still read it. The delete access that this open asks for
// conflicts with every other exclusive or playing open, whose sharing leaves it out.
constexpr DWORD kShareChanging = FILE_SHARE_READ;

FileError Open(std::intptr_t& hFile, const std::string& path, DWORD access, DWORD creation) {
    const HANDLE handle = CreateFileA(path.c_str(), access, kShareAll, nullptr, creation,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return LastFileError();
    }
    hFile = Stored(handle);
    return FileError::None;
}

bool Identity(HANDLE handle, BY_HANDLE_FILE_INFORMATION& info) {
    return GetFileInformationByHandle(handle, &info) != 0;
}
}  // namespace

FileError CFileHandle::OpenForRead(const std::string& path) {
    Close();
    if (const FileError error = Open(m_hFile, path, GENERIC_READ, OPEN_EXISTING);
        error != FileError::None) {
        // The system refuses to open a folder as a file: say what it is instead.
        const DWORD attributes = GetFileAttributesA(path.c_str());
        if (error == FileError::AccessDenied && attributes != INVALID_FILE_ATTRIBUTES &&
            (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            return FileError::NotRegularFile;
        }
        return error;
    }
    // Judged by what was opened: a console or serial device, a pipe are no data files.
    if (FileKindOfHandle(m_hFile) != FileKind::Regular) {
        Close();
        return FileError::NotRegularFile;
    }
    return FileError::None;
}

FileError CFileHandle::CreateForWrite(const std::string& path) {
    Close();
    return Open(m_hFile, path, GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS);
}

FileError CFileHandle::CreateNewForWrite(const std::string& path) {
    Close();
    return Open(m_hFile, path, GENERIC_READ | GENERIC_WRITE, CREATE_NEW);
}

void CFileHandle::Close() {
    if (m_hFile != -1) {
        CloseHandle(Native(std::exchange(m_hFile, -1)));
    }
}

FileError CFileHandle::CloseChecked() {
    if (m_hFile == -1) {
        return FileError::None;
    }
    return CloseHandle(Native(std::exchange(m_hFile, -1))) ? FileError::None : LastFileError();
}

namespace {
// Opens the file of `hFile` again with other access and sharing and puts the new open in its
// place, at the same position. The old open is kept when the system refuses the new one.
FileError Reopen(std::intptr_t& hFile, DWORD access, DWORD share) {
    if (hFile == -1) {
        return FileErrorOf(SystemErrorFromCode(ERROR_INVALID_HANDLE));
    }
    const HANDLE reopened = ReOpenFile(Native(hFile), access, share, 0);
    if (reopened == INVALID_HANDLE_VALUE) {
        return LastFileError();
    }
    LARGE_INTEGER position{};
    const LARGE_INTEGER zero{};
    if (SetFilePointerEx(Native(hFile), zero, &position, FILE_CURRENT)) {
        SetFilePointerEx(reopened, position, nullptr, FILE_BEGIN);
    }
    CloseHandle(Native(hFile));
    hFile = Stored(reopened);
    return FileError::None;
}
}  // namespace

FileError CFileHandle::LockShared() {
    return Reopen(m_hFile, GENERIC_READ, kSharePlaying);
}

FileError CFileHandle::LockExclusiveNoWait() {
    return Reopen(m_hFile, GENERIC_READ | DELETE, kShareChanging);
}

void CFileHandle::Unlock() {
    Reopen(m_hFile, GENERIC_READ, kShareAll);
}

FileReadResult CFileHandle::Read(void* buffer, std::size_t size) {
    DWORD count = 0;
    const DWORD wanted = size > MAXDWORD ? MAXDWORD : static_cast<DWORD>(size);
    if (!ReadFile(Native(m_hFile), buffer, wanted, &count, nullptr)) {
        // The far end of a pipe that closed is the end of the data, not a failure.
        if (GetLastError() == ERROR_BROKEN_PIPE) {
            return {0, FileError::None};
        }
        return {0, LastFileError()};
    }
    return {count, FileError::None};
}

FileReadResult CFileHandle::ReadAt(std::uint64_t offset, void* buffer, std::size_t size) const {
    // A positioned read moves the position of a synchronous handle: put it back afterwards.
    LARGE_INTEGER position{};
    const LARGE_INTEGER zero{};
    if (!SetFilePointerEx(Native(m_hFile), zero, &position, FILE_CURRENT)) {
        return {0, LastFileError()};
    }
    std::size_t total = 0;
    auto* bytes = static_cast<char*>(buffer);
    FileError error = FileError::None;
    while (total < size) {
        OVERLAPPED at{};
        const std::uint64_t where = offset + total;
        at.Offset = static_cast<DWORD>(where & 0xFFFFFFFFu);
        at.OffsetHigh = static_cast<DWORD>(where >> 32);
        const std::size_t left = size - total;
        const DWORD wanted = left > MAXDWORD ? MAXDWORD : static_cast<DWORD>(left);
        DWORD count = 0;
        if (!ReadFile(Native(m_hFile), bytes + total, wanted, &count, &at)) {
            if (GetLastError() != ERROR_HANDLE_EOF) {
                error = LastFileError();
            }
            break;
        }
        if (count == 0) {
            break;
        }
        total += count;
    }
    SetFilePointerEx(Native(m_hFile), position, nullptr, FILE_BEGIN);
    return {total, error};
}

FileError CFileHandle::WriteAll(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const DWORD wanted = size > MAXDWORD ? MAXDWORD : static_cast<DWORD>(size);
        DWORD count = 0;
        if (!WriteFile(Native(m_hFile), bytes, wanted, &count, nullptr)) {
            return LastFileError();
        }
        bytes += count;
        size -= count;
    }
    return FileError::None;
}

FileError CFileHandle::Rewind() {
    const LARGE_INTEGER zero{};
    return SetFilePointerEx(Native(m_hFile), zero, nullptr, FILE_BEGIN) ? FileError::None
                                                                        : LastFileError();
}

FileError CFileHandle::Sync() {
    return FlushFileBuffers(Native(m_hFile)) ? FileError::None : LastFileError();
}

FileError CFileHandle::SizeOf(std::uint64_t& size) const {
    LARGE_INTEGER value{};
    if (!GetFileSizeEx(Native(m_hFile), &value)) {
        return LastFileError();
    }
    size = static_cast<std::uint64_t>(value.QuadPart);
    return FileError::None;
}

FileError CFileHandle::CopyPermissionsFrom(const CFileHandle& /*other*/) {
    // A Windows file takes its access rules from the folder it is created in; there are no
    // permission bits to carry over.
    return FileError::None;
}

bool CFileHandle::IsSameFileAs(const std::string& path) const {
    if (m_hFile == -1) {
        return false;
    }
    // No access asked for: this open never conflicts with anyone's sharing.
    const HANDLE other = CreateFileA(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (other == INVALID_HANDLE_VALUE) {
        return false;
    }
    BY_HANDLE_FILE_INFORMATION mine{};
    BY_HANDLE_FILE_INFORMATION theirs{};
    const bool same = Identity(Native(m_hFile), mine) && Identity(other, theirs) &&
                      mine.dwVolumeSerialNumber == theirs.dwVolumeSerialNumber &&
                      mine.nFileIndexHigh == theirs.nFileIndexHigh &&
                      mine.nFileIndexLow == theirs.nFileIndexLow;
    CloseHandle(other);
    return same;
}
