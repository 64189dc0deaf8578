// The sample files shipped for trying the program out: the stamped hex log, once converted,
// must play exactly the bytes of the raw receipt.
#include <filesystem>
#include <string>

#include "TempHome.h"
#include "datafile/Conversion.h"
#include "datafile/DataFileKind.h"
#include "datafile/LineIndex.h"
#include "datafile/PayloadDecoder.h"
#include "platform/FileSystem.h"

namespace {

const std::filesystem::path kSamples =
    std::filesystem::path(__FILE__).parent_path() / ".." / ".." / ".." / "samples";

using SamplesTest = TempHomeTest;

TEST_F(SamplesTest, ConvertedHexLogPlaysTheRawReceipt) {
    const std::string receipt = ReadFileBytes((kSamples / "receipt.txt").string());
    ASSERT_FALSE(receipt.empty());
    EXPECT_NE(receipt.find('\x1b'), std::string::npos);
    EXPECT_EQ(IsTillstreamDataFile((kSamples / "receipt.txt").string()), kDataFileRaw);

    const std::string log = home.Path("receipt-hexlog.log");
    ASSERT_EQ(CopyFileReplace((kSamples / "receipt-hexlog.log").string(), log), FileError::None);
    ASSERT_EQ(IsTillstreamDataFile(log), kDataFileStampedLog);
    ASSERT_EQ(MakeTillstreamDataFile(log), kMakeOk);

    CLineIndex index;
    ASSERT_EQ(index.Build(log), 0);
    std::string played;
    for (std::size_t i = 0; i < index.Count(); ++i) {
        unsigned char bytes[kPayloadBufferSize];
        const std::size_t n = DecodePayloadLine(index.LineAt(i), bytes);
        played.append(reinterpret_cast<const char*>(bytes), n);
    }
    EXPECT_EQ(played, receipt);
}

}  // namespace
