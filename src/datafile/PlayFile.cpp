#include "datafile/PlayFile.h"

FileError CPlayFile::OpenLocked(const std::string& path, CFileHandle& file) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        if (const FileError error = file.OpenForRead(path); error != FileError::None) {
            return error;
        }
        if (const FileError error = file.LockShared(); error != FileError::None) {
            file.Close();
            return error;
        }
        if (file.IsSameFileAs(path)) {
            return FileError::None;
        }
        file.Close();
    }
    return FileError::SharingViolation;
}

FileError CPlayFile::Open(const std::string& path) {
    m_inPlay.reset();
    const FileError error = OpenLocked(path, m_file);
    if (error == FileError::None) {
        m_inPlay.emplace(path);
    }
    return error;
}
