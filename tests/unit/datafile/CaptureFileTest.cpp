// Reading packet captures: every layout the reader knows gives the packets and stamps it holds,
// whatever the read buffer's size; a file that is no capture, or is damaged or cut off, is refused
// at the first thing wrong, with its offset and the packet's number.
#include "datafile/CaptureFile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CaptureSamples.h"
#include "CaptureWriter.h"
#include "TempHome.h"

namespace {
class CaptureFileTest : public TempHomeTest {
  protected:
    std::string Write(const std::string& name, const std::string& bytes) {
        const std::string path = home.Path(name);
        WriteFileBytes(path, bytes);
        return path;
    }
};

TEST_F(CaptureFileTest, EveryLayoutGivesItsPacketsAndStampsWhateverTheBufferSize) {
    for (const SampleCapture& sample : SampleCaptures()) {
        const std::string path = Write(sample.name, sample.bytes);
        for (const std::size_t bufferSize :
             {CCaptureFile::kDefaultBufferSize, std::size_t{1}, std::size_t{13}}) {
            SCOPED_TRACE(sample.name + ", buffer " + std::to_string(bufferSize));
            CCaptureFile file(bufferSize);
            ASSERT_TRUE(file.Open(path)) << file.ErrorText();
            EXPECT_EQ(file.Format(), sample.name.rfind("pcapng", 0) == 0 ? CaptureFormat::kPcapng
                                                                         : CaptureFormat::kPcap);
            for (int pass = 0; pass < 2; ++pass) {  // the second pass after a rewind
                CapturedPacket packet;
                for (std::size_t n = 0; n < sample.packets.size(); ++n) {
                    const ExpectedPacket& expected = sample.packets[n];
                    ASSERT_EQ(file.ReadPacket(packet), CaptureReadResult::kPacket)
                        << file.ErrorText();
                    EXPECT_EQ(packet.number, n + 1);
                    EXPECT_EQ(packet.timeNs, expected.timeNs) << "packet " << n + 1;
                    EXPECT_EQ(packet.bTimed, expected.bTimed);
                    EXPECT_EQ(packet.linkType, expected.linkType);
                    EXPECT_EQ(std::string(packet.bytes.begin(), packet.bytes.end()),
                              expected.bytes);
                    EXPECT_EQ(packet.capturedLength, expected.bytes.size());
                    EXPECT_EQ(packet.originalLength, expected.originalLength);
                }
                EXPECT_EQ(file.ReadPacket(packet), CaptureReadResult::kEndOfFile)
                    << file.ErrorText();
                ASSERT_TRUE(file.Rewind());
            }
        }
    }
}

TEST_F(CaptureFileTest, ADamagedOrCutOffFileIsRefusedWithItsOffsetAndPacket) {
    const std::string frame = EthernetFrame(
        TcpPacket({"10.0.0.5", 50123}, {"10.0.0.9", 9100}, 1, 0x18, "Milk\r\n"));  // 60 bytes
    PcapFileWriter pcap(1, CaptureByteOrder::kLittle, false);
    pcap.Add(0, frame);
    pcap.Add(0, frame);
    const std::string pcapBytes = pcap.Bytes();  // header 24, records of 16 + 60
    PcapngFileWriter pcapng(CaptureByteOrder::kBig);
    pcapng.Interface(1);  // section header 28 bytes, interface block 32
    pcapng.Enhanced(0, 0, frame);
    const std::string pcapngBytes = pcapng.Bytes();  // the packet's block at 60, 92 bytes long
    std::string wrongTrailer = pcapngBytes;
    wrongTrailer[wrongTrailer.size() - 1] ^= 0x04;
    PcapngFileWriter otherInterface(CaptureByteOrder::kLittle);
    otherInterface.Interface(1);
    otherInterface.Enhanced(1, 0, frame);

    struct Case {
        std::string name;
        std::string bytes;
        std::size_t packetsBefore;  // read before the refusal; none: Open refuses
        std::string error;
    };
    const std::vector<Case> cases = {
        {"empty", "", 0, "empty, not a pcap or pcapng capture"},
        {"text", "[2026-12-06 05:59:12] 0x41\r\n", 0,
         "not a pcap or pcapng capture (it begins with 5b 32 30 32)"},
        {"short pcap header", pcapBytes.substr(0, 20), 0,
         "offset 20: the file ends inside the pcap file header"},
        {"cut in a record header", pcapBytes.substr(0, 24 + 76 + 9), 1,
         "offset 100: the file ends inside the record header of packet 2 (9 of 16 bytes)"},
        {"cut in a packet", pcapBytes.substr(0, 24 + 76 + 16 + 20), 1,
         "offset 100: the file ends inside packet 2 (60 bytes announced, 20 there)"},
        {"pcapng cut in a packet", pcapngBytes.substr(0, pcapngBytes.size() - 30), 0,
         "offset 60: the file ends inside packet 1 (92 bytes announced, 62 there)"},
        {"pcapng closing length", wrongTrailer, 0,
         "offset 60: a block (type 6) whose closing length 88 differs from its opening length "
         "92"},
        {"pcapng unknown interface", otherInterface.Bytes(), 0,
         "offset 60: packet 1 names interface 1; its section has 1"},
        {"pcapng byte-order mark", pcapngBytes.substr(0, 8) + "ABCD" + pcapngBytes.substr(12), 0,
         "offset 0: a section header block with an unknown byte-order mark (41 42 43 44)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CCaptureFile file;
        const bool bOpened = file.Open(Write("damaged", c.bytes));
        if (!bOpened) {
            EXPECT_EQ(file.ErrorText(), c.error);
            continue;
        }
        CapturedPacket packet;
        for (std::size_t n = 0; n < c.packetsBefore; ++n) {
            ASSERT_EQ(file.ReadPacket(packet), CaptureReadResult::kPacket) << file.ErrorText();
        }
        EXPECT_EQ(file.ReadPacket(packet), CaptureReadResult::kError);
        EXPECT_EQ(file.ErrorText(), c.error);
    }
    CCaptureFile file;
    EXPECT_FALSE(file.Open(home.Path("missing.pcap")));
    EXPECT_EQ(file.LastFileError(), FileError::NotFound);
}
}  // namespace
