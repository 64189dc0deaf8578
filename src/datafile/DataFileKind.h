#pragma once
// Tells the kinds of data file apart by their first line. Any thread may call it; it takes no
// lock (a file in play can still be classified) and reports failure by its result.
#include <string>

// The first line of a converted data file begins with this marker.
inline constexpr char kTillstreamDataMarker[] = "[TILLSTREAM_DATA]";

// Classifies the file at `path` by its first line read in text mode:
//    1  the line begins with the marker: a converted data file
//    0  otherwise, the line is at least 21 characters long with "[" at 0 and "]" at 20:
//       a stamped hex log, which can be converted
//   -1  the file cannot be opened or read (traced with the path and the cause)
//   -2  the file has no first line, or the first line is empty (traced with the path)
//   -3  any other first line: a plain raw data file
// Nothing past the first line is read.
int IsTillstreamDataFile(const std::string& path);
