#pragma once
// The names the program gives to files: the companions of a data file used by the conversion
// (backup ".bak", temporary ".tmp") and the capture files named after the local time. Any thread
// may call these; they never fail.
#include <string>

#include "platform/LocalTime.h"

// The base of a data file's path is the path up to its file name's last "."; a file name without
// "." (a leading "." of a hidden file does not count) leaves the whole path as the base. So
// /pos/day1.txt has /pos/day1.bak, and /pos/my.data/day1 has /pos/my.data/day1.bak: the companions
// always stay next to the data file and belong to it alone.
std::string BackupFilePath(const std::string& dataFile);
std::string TempFilePath(const std::string& dataFile);

// The local time as fourteen digits: year (4), month, day, hour, minute, second (2 each).
std::string FormatTimestamp14(const LocalTime& time);
// folder + separator (none added when the folder already ends with one) + fourteen digits +
// ".dat", e.g. /home/pos/Tillstream/20261206055912.dat.
std::string CaptureFilePath(const std::string& folder, const LocalTime& time);
// CaptureFilePath when no file has that name yet, else the same name with "-2", "-3", ... before
// ".dat", the first one that is free. Capture must still create the file with
// CFileHandle::CreateNewForWrite (and try the next name if that fails with AlreadyExists), since
// another program may take the name in between.
std::string UniqueCaptureFilePath(const std::string& folder, const LocalTime& time);
