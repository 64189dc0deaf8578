#pragma once
// Reads a packet capture file packet by packet: classic pcap (either byte order, microsecond or
// nanosecond stamps) and pcapng (any number of sections, each in its own byte order; interfaces
// with their link type, snap length, time resolution and time offset; Enhanced and Simple Packet
// Blocks, every other block passed over). The format is told by the file's first bytes, never by
// its name. The file is read through one buffer, so memory does not grow with the file.
//
// The same reader serves every system: no capture library can be built into the Windows program,
// and one reader of the documented formats is one code path to test (the Linux tests check it
// against libpcap).
//
// A damaged or cut-off file is refused at the first thing that is wrong: the read fails with a
// text naming the file offset and, within a packet, the packet's number.
// One thread at a time. Failures are reported by results and ErrorText(), never by exceptions.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "datafile/CapturedPacket.h"
#include "platform/FileHandle.h"

enum class CaptureFormat { kNone, kPcap, kPcapng };

enum class CaptureReadResult {
    kPacket,     // `packet` holds the next packet
    kEndOfFile,  // no more packets; the file ended where a record could begin
    kError,      // the file is damaged, cut off or cannot be read: ErrorText() says why
};

class CCaptureFile {
  public:
    static constexpr std::size_t kDefaultBufferSize = 256 * 1024;
    // No record or block may claim more than this: a larger length is taken for damage, so that
    // a few wrong bytes cannot make the reader wait for gigabytes.
    static constexpr std::uint32_t kLargestRecord = 64 * 1024 * 1024;

    // `bufferSize` is the size of the read buffer (tests use small ones to cross its ends).
    explicit CCaptureFile(std::size_t bufferSize = kDefaultBufferSize);
    CCaptureFile(const CCaptureFile&) = delete;
    CCaptureFile& operator=(const CCaptureFile&) = delete;

    // Opens `path` and reads the file's header. False when it cannot be opened or read, or is
    // no capture file this reader knows; ErrorText() says which.
    bool Open(const std::string& path);
    // The next packet (its previous content replaced).
    CaptureReadResult ReadPacket(CapturedPacket& packet);
    // Starts again at the first packet.
    bool Rewind();
    void Close();

    CaptureFormat Format() const { return m_format; }
    // Why the last Open, ReadPacket or Rewind failed ("" after a success), worded to follow
    // "'FILE': " ("offset 1234: the file ends inside packet 7 (...)").
    const std::string& ErrorText() const { return m_strError; }
    // The file system's reason when the failure was one (FileError::None for a damaged file).
    FileError LastFileError() const { return m_fileError; }

  private:
    struct Interface {
        std::uint32_t linkType = 0;
        std::uint32_t snapLength = 0;
        bool bBinaryResolution = false;  // units of 2^-exponent s, else 10^-exponent s
        std::uint32_t exponent = 6;      // microseconds unless the interface says otherwise
        std::int64_t offsetSeconds = 0;  // added to every stamp (if_tsoffset)
    };

    bool ReadHeader();
    CaptureReadResult ReadPcapRecord(CapturedPacket& packet);
    CaptureReadResult ReadPcapngBlock(CapturedPacket& packet, bool& bPacket);
    bool ParseSectionHeader(std::uint64_t blockOffset);
    bool ParseInterface(std::uint64_t blockOffset);
    bool ParsePacketBlock(std::uint32_t type, std::uint64_t blockOffset, CapturedPacket& packet);

    // Goes back to the file's first byte with nothing buffered. False when the file cannot be
    // read from its start again (ErrorText says so).
    bool RestartFile();
    // Appends the next `size` bytes of the file to `target`, fewer where the file ends. False
    // only for a read error (ErrorText says so).
    bool Take(std::vector<std::uint8_t>& target, std::size_t size);
    bool Fail(std::uint64_t offset, const std::string& text);
    std::uint16_t U16(const std::uint8_t* p) const;
    std::uint32_t U32(const std::uint8_t* p) const;
    std::uint64_t U64(const std::uint8_t* p) const;
    std::string PacketName() const;

    CFileHandle m_file;
    std::vector<std::uint8_t> m_buffer;
    std::size_t m_nPos = 0;  // next unread byte in m_buffer
    std::size_t m_nEnd = 0;  // end of the valid bytes in m_buffer
    bool m_bEof = false;
    std::uint64_t m_nOffset = 0;  // file offset of m_buffer[m_nPos]

    CaptureFormat m_format = CaptureFormat::kNone;
    bool m_bBigEndian = false;  // the byte order of the file (pcap) or of the section (pcapng)
    std::uint64_t m_nPackets = 0;
    std::uint64_t m_nDataStart = 0;  // offset of the first record (pcap) or block (pcapng)

    Interface m_pcap;                     // classic pcap: the file's one link
    std::vector<Interface> m_interfaces;  // pcapng: the current section's interfaces
    std::vector<std::uint8_t> m_header;   // the record or block header being read
    std::vector<std::uint8_t> m_block;    // pcapng: the body of the block being read
    bool m_bSectionSeen = false;

    std::string m_strError;
    FileError m_fileError = FileError::None;
};

// True when the file at `path` begins as a pcap or pcapng capture does (its first four bytes),
// whatever its name; false when it does not or cannot be read. Only the kind: Open says whether
// the rest can be read.
bool IsPacketCapture(const std::string& path);
