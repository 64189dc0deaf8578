#pragma once
// Converts a stamped hex log in place into a converted data file, keeping the original as the
// backup file, and restores the original from that backup. Called from the user-interface thread
// (or the command line); safe to call from any thread, but two conversions of one file at the same
// time exclude each other through the file lock (the second fails). Failures are reported by the
// result codes below and traced; no exception leaves these functions.
//
// D is the data file: the file that the given path finally names, every symbolic link followed,
// so that working through a link changes the file it points to and the link stays a link. B is
// D's backup file and T its temporary file (see FileNames.h), both beside D.
#include <string>

// Results of MakeTillstreamDataFile:
inline constexpr int kMakeOk = 0;                 // D converted, B holds D as it was, T gone
inline constexpr int kMakeNoDataFile = -1;        // `path` is empty; nothing touched
inline constexpr int kMakeBackupFailed = -2;      // B could not be made, B already holds other
                                                  // bytes than D (another file's backup, or a file
                                                  // of the user's), or D is in play (being played
                                                  // here or locked by another program); D
                                                  // unchanged, B unchanged
inline constexpr int kMakeOpenSourceFailed = -3;  // D cannot be opened for reading; D unchanged,
                                                  // B made
inline constexpr int kMakeCreateTempFailed = -4;  // T cannot be created; D unchanged, B made
inline constexpr int kMakeReplaceFailed = -5;     // T could not be renamed over D; D unchanged,
                                                  // B and T deleted
inline constexpr int kMakeCopyLinesFailed = -6;   // a read or write error while the lines were
                                                  // copied; D unchanged, T deleted, B stays
inline constexpr int kMakeUnexpected = -100;  // anything else (e.g. out of memory); D unchanged,
                                              // T deleted, B stays

// What a failed conversion can tell its caller beyond the code.
struct MakeFailureDetail {
    // B exists and holds other bytes than D, so it was left alone and nothing was converted.
    bool bBackupHoldsOtherData = false;
    std::string backupPath;  // B, whenever the conversion got as far as naming it
};

// Converts D = `path`: copies it to B, writes the marker line and the payload of every record
// that has one to T, syncs T and renames it over D, so that D is either wholly the old file or
// wholly the converted one. Lines shorter than 4 characters are skipped; a record's payload is the
// text from two characters after the line's first "]" (from position 1 when there is no "]") and
// is kept when it is at least 4 characters long and begins with "0x". Returns a kMake... code.
//
// An existing B is replaced only when it holds exactly D's bytes (what a conversion that failed
// after its copy leaves behind). Any other B belongs to someone else: till.log and till.txt share
// the backup till.bak, and a user may keep a notes.bak of their own. Replacing it would lose that
// file for good, so the conversion then changes nothing and fails with kMakeBackupFailed, and
// `pDetail` (when given) says so.
int MakeTillstreamDataFile(const std::string& path, MakeFailureDetail* pDetail = nullptr);

// B for `path` as conversion and restore use it: the backup file beside the file that `path`
// finally names (a name that leads nowhere gives the backup file of the name as it is). Never
// fails. Tells, for instance, whether a converted file can be restored.
std::string ConversionBackupPath(const std::string& path);

// Results of RestoreDataFile:
inline constexpr int kRestoreOk = 0;               // D holds B's bytes again, B deleted
inline constexpr int kRestoreNoDataFile = -1;      // `path` is empty; nothing touched
inline constexpr int kRestoreBackupMissing = -2;   // B does not exist; nothing touched
inline constexpr int kRestoreCopyBackFailed = -3;  // B could not be copied over D, D is in
                                                   // play, or `path` is a link that leads
                                                   // nowhere; D unchanged, B kept
inline constexpr int kRestoreUnexpected = -100;    // anything else; D unchanged, B kept

// Copies B over D = `path` atomically (a temporary copy renamed over D), then deletes B. A backup
// that cannot be deleted afterwards is traced, but the restore still counts as done.
int RestoreDataFile(const std::string& path);
