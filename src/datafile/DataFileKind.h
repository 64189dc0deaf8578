#pragma once
// Tells the kinds of data file apart by their first line. Any thread may call it; it takes no
// lock (a file in play can still be classified) and reports failure by its result.
#include <string>

// The first line of a converted data file begins with this marker.
inline constexpr char kTillstreamDataMarker[] = "[TILLSTREAM_DATA]";

// The results of IsTillstreamDataFile.
// The first line begins with the marker: a converted data file.
inline constexpr int kDataFileConverted = 1;
// Otherwise, the first line is at least 21 characters long with "[" at 0 and "]" at 20: a stamped
// hex log, which can be converted.
inline constexpr int kDataFileStampedLog = 0;
// The file cannot be opened or read (traced with the path and the cause).
inline constexpr int kDataFileUnreadable = -1;
// The file has no first line, or the first line is empty (traced with the path).
inline constexpr int kDataFileNoFirstLine = -2;
// Any other first line: a plain raw data file.
inline constexpr int kDataFileRaw = -3;

// Classifies the file at `path` by its first line read in text mode (one of the results above).
// Nothing past the first line is read.
int IsTillstreamDataFile(const std::string& path);
