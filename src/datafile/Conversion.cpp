#include "datafile/Conversion.h"

#include <cstring>
#include <exception>
#include <string_view>
#include <vector>

#include "datafile/DataFileKind.h"
#include "datafile/FileNames.h"
#include "datafile/FilesInPlay.h"
#include "datafile/LineReader.h"
#include "datafile/StampedLog.h"
#include "platform/FileHandle.h"
#include "platform/FileSystem.h"
#include "platform/Trace.h"

namespace {
constexpr std::size_t kWriteChunk = 256 * 1024;

bool SameFile(const std::string& a, const std::string& b) {
    return CanonicalPath(a) == CanonicalPath(b);
}

// True when both files can be read and hold the same bytes. Read in pieces, so a backup as large
// as the data file costs no more memory than a small one.
bool SameBytes(CFileHandle& a, const std::string& otherPath) {
    CFileHandle b;
    std::uint64_t sizeA = 0;
    std::uint64_t sizeB = 0;
    if (b.OpenForRead(otherPath) != FileError::None || a.SizeOf(sizeA) != FileError::None ||
        b.SizeOf(sizeB) != FileError::None || sizeA != sizeB) {
        return false;
    }
    std::vector<char> pieceA(kWriteChunk);
    std::vector<char> pieceB(kWriteChunk);
    for (std::uint64_t offset = 0; offset < sizeA;) {
        const FileReadResult readA = a.ReadAt(offset, pieceA.data(), pieceA.size());
        const FileReadResult readB = b.ReadAt(offset, pieceB.data(), pieceB.size());
        if (readA.error != FileError::None || readB.error != FileError::None ||
            readA.bytes != readB.bytes || readA.bytes == 0 ||
            std::memcmp(pieceA.data(), pieceB.data(), readA.bytes) != 0) {
            return false;
        }
        offset += readA.bytes;
    }
    return true;
}

// D for `path`: the file that the name finally leads to. A name that leads nowhere is taken as
// it is; `bLeadsNowhere` then tells a link to a missing file (or a loop of links), which cannot
// be opened, from a data file that is simply not there.
std::string DataFileOf(const std::string& path, bool& bLeadsNowhere) {
    std::string resolved;
    if (ResolveFilePath(path, resolved) == FileError::None) {
        bLeadsNowhere = false;
        return resolved;
    }
    bLeadsNowhere = PathExists(path);
    return path;
}

// Takes the data file away from playback and from other conversions: fails while the file is
// registered as in play here or locked by anyone (another program playing it). The returned
// handle holds the exclusive lock until it is destroyed.
FileError HoldForChange(const std::string& path, CFileHandle& lock, bool bMayBeMissing) {
    if (CFilesInPlay::Contains(path)) {
        return FileError::SharingViolation;
    }
    FileError error = lock.OpenForRead(path);
    if (error == FileError::NotFound && bMayBeMissing) {
        return FileError::None;  // nobody can be playing a file that does not exist
    }
    if (error == FileError::None) {
        error = lock.LockExclusiveNoWait();
    }
    return error;
}

// Writes the marker line and the payload line of every record that has one, each ended by CR LF,
// then makes T durable. The source is read in text mode (CR LF and LF line ends alike).
FileError CopyPayloadLines(CLineReader& source, CFileHandle& target) {
    std::string out;
    out.reserve(kWriteChunk + 1024);
    out += kTillstreamDataMarker;
    out += "\r\n";
    std::string line;
    for (;;) {
        const ReadLineResult result = source.ReadLine(line);
        if (result == ReadLineResult::Error) {
            return source.LastError();
        }
        if (result == ReadLineResult::EndOfFile) {
            break;
        }
        const std::string_view payload = StampedLogPayload(line);
        if (payload.empty()) {
            continue;
        }
        out += payload;
        out += "\r\n";
        if (out.size() >= kWriteChunk) {
            if (const FileError error = target.WriteAll(out.data(), out.size());
                error != FileError::None) {
                return error;
            }
            out.clear();
        }
    }
    if (const FileError error = target.WriteAll(out.data(), out.size()); error != FileError::None) {
        return error;
    }
    // The rename that follows must never put a file on disk whose data is not there yet.
    if (const FileError error = target.Sync(); error != FileError::None) {
        return error;
    }
    return target.CloseChecked();
}

int MakeUnguarded(const std::string& path, const std::string& backup, const std::string& temp,
                  bool& bTempCreated, MakeFailureDetail& detail) {
    CFileHandle lock;
    FileError error = HoldForChange(path, lock, false);
    if (error == FileError::None && SameFile(path, backup)) {
        // A file named like a backup (day1.bak) would be copied onto itself and then lost.
        error = FileError::SharingViolation;
    }
    if (error == FileError::None && PathExists(backup) && !SameBytes(lock, backup)) {
        Trace(
            "[CTillstreamDlg::OnButtonMakeTillstreamData] ERROR - Backup file holds other data, "
            "left as it is(Src Path: %s, Backup Path: %s)",
            path.c_str(), backup.c_str());
        detail.bBackupHoldsOtherData = true;
        return kMakeBackupFailed;
    }
    if (error == FileError::None) {
        error = CopyFileReplace(path, backup);
    }
    if (error != FileError::None) {
        Trace(
            "[CTillstreamDlg::OnButtonMakeTillstreamData] ERROR - Can't make backup file(Src Path: "
            "%s, Dst Path: %s, ErrCode: %u)",
            path.c_str(), backup.c_str(), FileErrorCode(error));
        return kMakeBackupFailed;
    }

    CLineReader source(LineMode::Text);
    if ((error = source.Open(path)) != FileError::None) {
        Trace(
            "[CTillstreamDlg::OnButtonMakeTillstreamData] ERROR - Can't open data file(Path: %s, "
            "ErrCode: %u, %s)",
            path.c_str(), FileErrorCode(error), FileErrorText(error));
        return kMakeOpenSourceFailed;
    }

    CFileHandle target;
    if (SameFile(path, temp)) {
        // Truncating T would empty the data file itself.
        error = FileError::SharingViolation;
    } else {
        error = target.CreateForWrite(temp);
    }
    if (error != FileError::None) {
        Trace(
            "[CTillstreamDlg::OnButtonMakeTillstreamData] ERROR - Can't create temp file(Path: %s, "
            "ErrCode: %u, %s)",
            temp.c_str(), FileErrorCode(error), FileErrorText(error));
        return kMakeCreateTempFailed;
    }
    bTempCreated = true;
    if (lock.IsOpen()) {
        // The converted file keeps the permissions of the file it replaces (best effort).
        target.CopyPermissionsFrom(lock);
    }

    error = CopyPayloadLines(source, target);
    source.Close();
    if (error != FileError::None) {
        Trace(
            "[CTillstreamDlg::OnButtonMakeTillstreamData] ERROR - Can't copy data lines(Src Path: "
            "%s, Dst Path: %s, ErrCode: %u, %s)",
            path.c_str(), temp.c_str(), FileErrorCode(error), FileErrorText(error));
        target.Close();
        RemoveFile(temp);
        return kMakeCopyLinesFailed;
    }

    // The hold ends before the replacement: a system with share modes refuses to replace a file
    // that anyone, this hold included, has open. A player that opens the file in between plays
    // either the old or the new file whole.
    lock.Close();
    if ((error = RenameReplace(temp, path)) != FileError::None) {
        Trace(
            "[CTillstreamDlg::OnButtonMakeTillstreamData] ERROR - Can't copy temp file(ErrCode: "
            "%u)",
            FileErrorCode(error));
        RemoveFile(temp);
        RemoveFile(backup);
        return kMakeReplaceFailed;
    }
    return kMakeOk;
}
}  // namespace

int MakeTillstreamDataFile(const std::string& path, MakeFailureDetail* pDetail) {
    MakeFailureDetail unused;
    MakeFailureDetail& detail = pDetail != nullptr ? *pDetail : unused;
    detail = MakeFailureDetail{};
    if (path.empty()) {
        return kMakeNoDataFile;
    }
    bool bTempCreated = false;
    std::string temp;
    try {
        // A link that leads nowhere fails at the first open, like a missing file.
        bool bLeadsNowhere = false;
        const std::string dataFile = DataFileOf(path, bLeadsNowhere);
        const std::string backup = BackupFilePath(dataFile);
        detail.backupPath = backup;
        temp = TempFilePath(dataFile);
        return MakeUnguarded(dataFile, backup, temp, bTempCreated, detail);
    } catch (const std::exception& e) {
        Trace("[%s][MakeTillstreamDataFile] ERROR - Unexpected(%s)", kProgramName, e.what());
    } catch (...) {
        Trace("[%s][MakeTillstreamDataFile] ERROR - Unexpected", kProgramName);
    }
    if (bTempCreated) {
        RemoveFile(temp);
    }
    return kMakeUnexpected;
}

std::string ConversionBackupPath(const std::string& path) {
    bool bLeadsNowhere = false;
    return BackupFilePath(DataFileOf(path, bLeadsNowhere));
}

int RestoreDataFile(const std::string& path) {
    if (path.empty()) {
        return kRestoreNoDataFile;
    }
    try {
        bool bLeadsNowhere = false;
        const std::string dataFile = DataFileOf(path, bLeadsNowhere);
        const std::string backup = BackupFilePath(dataFile);
        if (!PathExists(backup)) {
            Trace(
                "[CTillstreamDlg::OnButtonMakeTillstreamData] ERROR - Can't find backup file(Path: "
                "%s)",
                backup.c_str());
            return kRestoreBackupMissing;
        }
        CFileHandle lock;
        // A missing data file is made anew from its backup; a link that leads nowhere is not
        // replaced by a file.
        FileError error = bLeadsNowhere ? FileError::NotFound : HoldForChange(dataFile, lock, true);
        if (error == FileError::None && SameFile(dataFile, backup)) {
            // Restoring a file from itself and then deleting "the backup" would delete it.
            error = FileError::SharingViolation;
        }
        if (error == FileError::None) {
            // Released first, as in the conversion: the copy replaces the file as a whole.
            lock.Close();
            error = CopyFileReplace(backup, dataFile);
        }
        if (error != FileError::None) {
            Trace(
                "[CTillstreamDlg::OnButtonMakeTillstreamData] ERROR - Can't restore data file(Src "
                "Path: %s, Dst Path: %s, ErrCode: %u)",
                backup.c_str(), dataFile.c_str(), FileErrorCode(error));
            return kRestoreCopyBackFailed;
        }
        if (const FileError deleteError = RemoveFile(backup); deleteError != FileError::None) {
            Trace(
                "[CTillstreamDlg::OnButtonMakeTillstreamData] ERROR - Can't delete backup "
                "file(Path: "
                "%s, ErrCode: %u)",
                backup.c_str(), FileErrorCode(deleteError));
        }
        return kRestoreOk;
    } catch (const std::exception& e) {
        Trace("[%s][RestoreDataFile] ERROR - Unexpected(%s)", kProgramName, e.what());
    } catch (...) {
        Trace("[%s][RestoreDataFile] ERROR - Unexpected", kProgramName);
    }
    return kRestoreUnexpected;
}
