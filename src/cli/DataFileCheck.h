#pragma once
// Lets only a regular file through as a data file, for the commands that read one. Main thread;
// nothing here throws.
#include <iosfwd>
#include <optional>
#include <string>

// A named pipe, a device, a folder or a socket is refused at once with "'FILE' is a named pipe,
// not a regular file" (naming what it is) and false. A FILE that cannot be looked at passes:
// reading it reports that in the command's words.
bool CheckRegularDataFile(std::ostream& err, const char* command, const std::string& path);
// The same check for a caller that words the refusal itself: the message, or empty.
std::optional<std::string> RegularDataFileRefusal(const std::string& path);
