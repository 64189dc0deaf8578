// A file without read permission cannot be classified (Linux permission bits).
#include <sys/stat.h>
#include <unistd.h>

#include "TempHome.h"
#include "datafile/DataFileKind.h"

namespace {

using DataFileKindPosixTest = TempHomeTest;

TEST_F(DataFileKindPosixTest, AFileWithoutReadPermissionIsUnreadable) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root reads anything";
    }
    WriteFileBytes(home.Path("locked"), "[TILLSTREAM_DATA]\r\n");
    ::chmod(home.Path("locked").c_str(), 0);
    EXPECT_EQ(IsTillstreamDataFile(home.Path("locked")), kDataFileUnreadable);
}

}  // namespace
