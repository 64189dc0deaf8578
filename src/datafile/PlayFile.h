#pragma once
// A data file opened for playback, to be read by any number of readers at once: the file is held
// open with the shared lock and registered as in play (CFilesInPlay) for as long as the object
// lives, so that conversion and restore leave it alone. Readers read it at their own positions
// (CFileHandle::ReadAt), so many lanes playing one file cost one open file, not one each.
// Open belongs to one thread; once open, any thread may read through Handle(). Failures are
// reported as FileError values.
#include <optional>
#include <string>

#include "datafile/FilesInPlay.h"
#include "platform/FileHandle.h"

class CPlayFile {
  public:
    CPlayFile() = default;
    CPlayFile(const CPlayFile&) = delete;
    CPlayFile& operator=(const CPlayFile&) = delete;

    // Opens `path` for reading, takes the shared lock without waiting (SharingViolation while a
    // conversion or restore holds the file) and registers it as in play. On failure nothing stays
    // open or registered.
    FileError Open(const std::string& path);
    const CFileHandle& Handle() const { return m_file; }

    // The open and the lock alone, for a reader that owns its handle: a conversion may rename a
    // new file over `path` between the open and the lock, so the file is opened again until the
    // locked file is the one named.
    static FileError OpenLocked(const std::string& path, CFileHandle& file);

  private:
    CFileHandle m_file;
    std::optional<CFileInPlayGuard> m_inPlay;
};
