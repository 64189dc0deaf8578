#pragma once
// A stamped hex log of three records and the names conversion works with beside it, in a private
// home: what every conversion test starts from.
#include <string>

#include "TempHome.h"

inline const std::string kMarkerLine = "[TILLSTREAM_DATA]\r\n";

inline const std::string kThreeRecords =
    "[2026-12-06 05:59:12] 0x1b 0x40 0x48 0x69\r\n"
    "[2026-12-06 05:59:13] hello\r\n"
    "[2026-12-06 05:59:14] 0x0d 0x0a\r\n";

class ConversionFixture : public TempHomeTest {
  protected:
    std::string D = home.Path("day1.txt");  // the data file
    std::string B = home.Path("day1.bak");  // its backup
    std::string T = home.Path("day1.tmp");  // its temporary file
};
