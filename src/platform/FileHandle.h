#pragma once
// An open file: owns one native handle of the system (a descriptor, a Windows HANDLE) and closes it
// when destroyed (move-only). A closed handle holds the invalid value -1 and nothing else. One
// thread at a time may use a handle; different handles may be used on different threads.
// Failures are reported as FileError values, never by exceptions.
//
// Locks belong to the open file (not to the process), so two handles on the same file, even in
// one process, exclude each other: playback holds a shared lock on the file it plays, conversion
// and restore take an exclusive lock without waiting before they change a file. Readers that
// only display or classify a file take no lock. On Linux the locks are advisory; on Windows they
// are the open's share mode: a shared lock lets others read the file but not write, rename or
// delete it; an exclusive lock lets others only read it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/FileError.h"

// Bytes transferred by a read, or the error that stopped it. bytes == 0 with FileError::None is
// the end of the file.
struct FileReadResult {
    std::size_t bytes = 0;
    FileError error = FileError::None;
};

class CFileHandle {
  public:
    CFileHandle() = default;
    ~CFileHandle();
    CFileHandle(CFileHandle&& other) noexcept;
    CFileHandle& operator=(CFileHandle&& other) noexcept;
    CFileHandle(const CFileHandle&) = delete;
    CFileHandle& operator=(const CFileHandle&) = delete;

    // Opens an existing regular file for reading. Others may go on reading and writing it (and,
    // on Windows, renaming and deleting it).
    // A handle that was open is closed first. The open never waits: a named pipe, a device, a
    // folder or a socket is refused at once with FileError::NotRegularFile, judged by the file
    // that was opened, not by its name, so that nothing swapped in between gets through.
    FileError OpenForRead(const std::string& path);
    // Creates the file, or truncates an existing one, for writing (permissions 0666 less umask).
    FileError CreateForWrite(const std::string& path);
    // Creates a new file for writing; fails with FileError::AlreadyExists when the name is taken,
    // so that an existing file is never emptied.
    FileError CreateNewForWrite(const std::string& path);

    bool IsOpen() const { return m_hFile != -1; }
    // The native handle (-1 when closed), for the platform layer's waits. The handle keeps
    // ownership.
    std::intptr_t Get() const { return m_hFile; }
    // Closes the file; errors of the close itself are ignored (use CloseChecked after writing).
    void Close();
    // Closes the file and reports a failure of the close (a delayed write error).
    FileError CloseChecked();

    // Takes the shared lock without waiting: FileError::SharingViolation while someone holds the
    // exclusive lock.
    FileError LockShared();
    // Takes the exclusive lock without waiting: FileError::SharingViolation while anyone else
    // holds a lock on the file.
    FileError LockExclusiveNoWait();
    // Gives a held lock back (closing the handle does that as well).
    void Unlock();

    // Reads up to `size` bytes at the current position (an interrupted read is retried).
    FileReadResult Read(void* buffer, std::size_t size);
    // Reads up to `size` bytes at `offset` without moving the current position; a short count
    // means the end of the file was reached.
    FileReadResult ReadAt(std::uint64_t offset, void* buffer, std::size_t size) const;
    // Writes all `size` bytes or fails.
    FileError WriteAll(const void* data, std::size_t size);
    // Moves the current position back to the start of the file.
    FileError Rewind();
    // Forces written data to the storage device.
    FileError Sync();
    // The current size of the open file.
    FileError SizeOf(std::uint64_t& size) const;
    // Gives this file the permission bits of `other` (a replacement keeps the original's mode).
    // Only a regular file is changed; for anything else this does nothing. Windows files have no
    // such bits (their access rules come from the folder), so there it does nothing.
    FileError CopyPermissionsFrom(const CFileHandle& other);
    // True when `path` names the very file this handle has open (same device and file number);
    // false when it names another file, none, or the handle is closed.
    bool IsSameFileAs(const std::string& path) const;

  private:
    std::intptr_t m_hFile = -1;
};
