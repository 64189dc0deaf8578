#include "datafile/CaptureFile.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <utility>

namespace {
// Classic pcap: the magic number as the file's own byte order writes it.
constexpr std::uint32_t kPcapMicroseconds = 0xA1B2C3D4;
constexpr std::uint32_t kPcapNanoseconds = 0xA1B23C4D;
constexpr std::size_t kPcapFileHeader = 24;
constexpr std::size_t kPcapRecordHeader = 16;
// The link type field also carries FCS information in its top bits; the type is the rest.
constexpr std::uint32_t kLinkTypeMask = 0x03FFFFFF;

// pcapng block types and option codes.
constexpr std::uint32_t kSectionHeaderBlock = 0x0A0D0D0A;  // the same in both byte orders
constexpr std::uint32_t kInterfaceBlock = 1;
constexpr std::uint32_t kSimplePacketBlock = 3;
constexpr std::uint32_t kEnhancedPacketBlock = 6;
constexpr std::uint16_t kOptionEnd = 0;
constexpr std::uint16_t kOptionTimeResolution = 9;
constexpr std::uint16_t kOptionTimeOffset = 14;

constexpr std::int64_t kNanosecondsPerSecond = 1000000000;
// The seconds whose nanoseconds still fit in 64 bits (years 1678 to 2262).
constexpr std::int64_t kLatestSecond =
    (std::numeric_limits<std::int64_t>::max() - (kNanosecondsPerSecond - 1)) /
    kNanosecondsPerSecond;
constexpr std::int64_t kEarliestSecond =
    std::numeric_limits<std::int64_t>::min() / kNanosecondsPerSecond + 1;

std::uint64_t PowerOfTen(std::uint32_t exponent) {
    std::uint64_t value = 1;
    for (std::uint32_t n = 0; n < exponent; ++n) {
        value *= 10;
    }
    return value;
}

// (a * b) >> shift without losing the bits of the 128-bit product; shift below 64.
std::uint64_t MultiplyShift(std::uint64_t a, std::uint64_t b, std::uint32_t shift) {
    const std::uint64_t aLow = a & 0xFFFFFFFF;
    const std::uint64_t aHigh = a >> 32;
    const std::uint64_t bLow = b & 0xFFFFFFFF;
    const std::uint64_t bHigh = b >> 32;
    const std::uint64_t lowLow = aLow * bLow;
    const std::uint64_t lowHigh = aLow * bHigh;
    const std::uint64_t highLow = aHigh * bLow;
    const std::uint64_t middle = (lowLow >> 32) + (lowHigh & 0xFFFFFFFF) + (highLow & 0xFFFFFFFF);
    const std::uint64_t low = (lowLow & 0xFFFFFFFF) | (middle << 32);
    const std::uint64_t high = aHigh * bHigh + (lowHigh >> 32) + (highLow >> 32) + (middle >> 32);
    return shift == 0 ? low : (low >> shift) | (high << (64 - shift));
}

std::uint32_t PaddedTo4(std::uint32_t size) {
    return (size + 3u) & ~3u;
}

std::string Hex(const std::uint8_t* bytes, std::size_t size) {
    std::string text;
    char part[4];
    for (std::size_t n = 0; n < size; ++n) {
        std::snprintf(part, sizeof part, n == 0 ? "%02x" : " %02x", bytes[n]);
        text += part;
    }
    return text;
}
}  // namespace

CCaptureFile::CCaptureFile(std::size_t bufferSize)
    : m_buffer(std::max<std::size_t>(bufferSize, 1)) {}

bool CCaptureFile::Open(const std::string& path) {
    Close();
    if ((m_fileError = m_file.OpenForRead(path)) != FileError::None) {
        m_strError = std::string("cannot be opened (") + FileErrorText(m_fileError) + ")";
        return false;
    }
    if (!ReadHeader()) {
        std::string error = std::move(m_strError);
        Close();
        m_strError = std::move(error);
        return false;
    }
    return true;
}

void CCaptureFile::Close() {
    m_file.Close();
    m_nPos = m_nEnd = 0;
    m_bEof = false;
    m_nOffset = 0;
    m_format = CaptureFormat::kNone;
    m_nPackets = 0;
    m_interfaces.clear();
    m_bSectionSeen = false;
    m_strError.clear();
    m_fileError = FileError::None;
}

bool CCaptureFile::Rewind() {
    m_strError.clear();
    if (!RestartFile()) {
        return false;
    }
    m_nPackets = 0;
    m_interfaces.clear();
    m_bSectionSeen = false;
    return ReadHeader();
}

bool CCaptureFile::RestartFile() {
    if ((m_fileError = m_file.Rewind()) != FileError::None) {
        m_strError = std::string("cannot be read (") + FileErrorText(m_fileError) + ")";
        return false;
    }
    m_nPos = m_nEnd = 0;
    m_bEof = false;
    m_nOffset = 0;
    return true;
}

bool CCaptureFile::Take(std::vector<std::uint8_t>& target, std::size_t size) {
    while (size > 0) {
        if (m_nPos == m_nEnd) {
            if (m_bEof) {
                return true;
            }
            const FileReadResult result = m_file.Read(m_buffer.data(), m_buffer.size());
            if (result.error != FileError::None) {
                m_fileError = result.error;
                m_strError = "offset " + std::to_string(m_nOffset) + ": cannot be read (" +
                             FileErrorText(result.error) + ")";
                return false;
            }
            m_nPos = 0;
            m_nEnd = result.bytes;
            m_bEof = result.bytes == 0;
            continue;
        }
        const std::size_t take = std::min(size, m_nEnd - m_nPos);
        target.insert(target.end(), m_buffer.begin() + static_cast<std::ptrdiff_t>(m_nPos),
                      m_buffer.begin() + static_cast<std::ptrdiff_t>(m_nPos + take));
        m_nPos += take;
        m_nOffset += take;
        size -= take;
    }
    return true;
}

bool CCaptureFile::Fail(std::uint64_t offset, const std::string& text) {
    m_strError = "offset " + std::to_string(offset) + ": " + text;
    return false;
}

std::string CCaptureFile::PacketName() const {
    return "packet " + std::to_string(m_nPackets + 1);
}

std::uint16_t CCaptureFile::U16(const std::uint8_t* p) const {
    return static_cast<std::uint16_t>(m_bBigEndian ? (p[0] << 8) | p[1] : (p[1] << 8) | p[0]);
}

std::uint32_t CCaptureFile::U32(const std::uint8_t* p) const {
    return m_bBigEndian ? (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) |
                              (std::uint32_t{p[2]} << 8) | p[3]
                        : (std::uint32_t{p[3]} << 24) | (std::uint32_t{p[2]} << 16) |
                              (std::uint32_t{p[1]} << 8) | p[0];
}

std::uint64_t CCaptureFile::U64(const std::uint8_t* p) const {
    const std::uint64_t first = U32(p);
    const std::uint64_t second = U32(p + 4);
    return m_bBigEndian ? (first << 32) | second : (second << 32) | first;
}

bool CCaptureFile::ReadHeader() {
    std::vector<std::uint8_t> header;
    if (!Take(header, kPcapFileHeader)) {
        return false;
    }
    if (header.size() >= 4 && U32(header.data()) == kSectionHeaderBlock) {
        // pcapng: read again from the start, as the first block.
        if (!RestartFile()) {
            return false;
        }
        m_format = CaptureFormat::kPcapng;
        m_nDataStart = 0;
        CapturedPacket unused;
        bool bPacket = false;
        return ReadPcapngBlock(unused, bPacket) != CaptureReadResult::kError;
    }
    bool bKnown = false;
    if (header.size() >= 4) {
        for (const bool bBig : {false, true}) {
            m_bBigEndian = bBig;
            const std::uint32_t magic = U32(header.data());
            if (magic == kPcapMicroseconds || magic == kPcapNanoseconds) {
                bKnown = true;
                m_pcap = Interface{};
                m_pcap.exponent = magic == kPcapNanoseconds ? 9 : 6;
                break;
            }
        }
    }
    if (!bKnown) {
        m_strError = header.empty()
                         ? "empty, not a pcap or pcapng capture"
                         : "not a pcap or pcapng capture (it begins with " +
                               Hex(header.data(), std::min<std::size_t>(header.size(), 4)) + ")";
        return false;
    }
    if (header.size() < kPcapFileHeader) {
        return Fail(header.size(), "the file ends inside the pcap file header");
    }
    const std::uint16_t major = U16(header.data() + 4);
    if (major != 2) {
        return Fail(4, "pcap version " + std::to_string(major) + "." +
                           std::to_string(U16(header.data() + 6)) +
                           " is not one this reader knows (2.x)");
    }
    m_pcap.snapLength = U32(header.data() + 16);
    m_pcap.linkType = U32(header.data() + 20) & kLinkTypeMask;
    m_format = CaptureFormat::kPcap;
    m_nDataStart = kPcapFileHeader;
    return true;
}

CaptureReadResult CCaptureFile::ReadPacket(CapturedPacket& packet) {
    m_strError.clear();
    m_fileError = FileError::None;
    if (m_format == CaptureFormat::kPcap) {
        return ReadPcapRecord(packet);
    }
    if (m_format != CaptureFormat::kPcapng) {
        m_strError = "not open";
        return CaptureReadResult::kError;
    }
    for (;;) {
        bool bPacket = false;
        const CaptureReadResult result = ReadPcapngBlock(packet, bPacket);
        if (result != CaptureReadResult::kPacket || bPacket) {
            return result;
        }
    }
}

CaptureReadResult CCaptureFile::ReadPcapRecord(CapturedPacket& packet) {
    const std::uint64_t recordOffset = m_nOffset;
    std::vector<std::uint8_t>& header = m_header;
    header.clear();
    if (!Take(header, kPcapRecordHeader)) {
        return CaptureReadResult::kError;
    }
    if (header.empty()) {
        return CaptureReadResult::kEndOfFile;
    }
    if (header.size() < kPcapRecordHeader) {
        Fail(recordOffset, "the file ends inside the record header of " + PacketName() + " (" +
                               std::to_string(header.size()) + " of 16 bytes)");
        return CaptureReadResult::kError;
    }
    const std::uint32_t seconds = U32(header.data());
    const std::uint32_t fraction = U32(header.data() + 4);
    const std::uint32_t captured = U32(header.data() + 8);
    const std::uint32_t original = U32(header.data() + 12);
    if (captured > kLargestRecord) {
        Fail(recordOffset, PacketName() + " claims " + std::to_string(captured) +
                               " captured bytes, more than any capture holds (damaged file?)");
        return CaptureReadResult::kError;
    }
    packet.bytes.clear();
    if (!Take(packet.bytes, captured)) {
        return CaptureReadResult::kError;
    }
    if (packet.bytes.size() < captured) {
        Fail(recordOffset, "the file ends inside " + PacketName() + " (" +
                               std::to_string(captured) + " bytes announced, " +
                               std::to_string(packet.bytes.size()) + " there)");
        return CaptureReadResult::kError;
    }
    packet.number = ++m_nPackets;
    packet.fileOffset = recordOffset;
    packet.bTimed = true;
    packet.timeNs = std::int64_t{seconds} * kNanosecondsPerSecond +
                    std::int64_t{fraction} * (m_pcap.exponent == 9 ? 1 : 1000);
    packet.linkType = m_pcap.linkType;
    packet.capturedLength = captured;
    packet.originalLength = original;
    return CaptureReadResult::kPacket;
}

CaptureReadResult CCaptureFile::ReadPcapngBlock(CapturedPacket& packet, bool& bPacket) {
    bPacket = false;
    const std::uint64_t blockOffset = m_nOffset;
    std::vector<std::uint8_t>& header = m_header;
    header.clear();
    if (!Take(header, 8)) {
        return CaptureReadResult::kError;
    }
    if (header.empty() && m_bSectionSeen) {
        return CaptureReadResult::kEndOfFile;
    }
    if (header.size() < 8) {
        Fail(blockOffset, "the file ends inside a block header (" + std::to_string(header.size()) +
                              " of 8 bytes)");
        return CaptureReadResult::kError;
    }
    m_block.clear();
    std::uint32_t type = U32(header.data());
    if (type == kSectionHeaderBlock) {
        // The section's byte-order mark tells how to read its length and everything after it.
        if (!Take(m_block, 4)) {
            return CaptureReadResult::kError;
        }
        if (m_block.size() < 4) {
            Fail(blockOffset, "the file ends inside a section header block");
            return CaptureReadResult::kError;
        }
        if (m_block[0] == 0x1A && m_block[1] == 0x2B && m_block[2] == 0x3C && m_block[3] == 0x4D) {
            m_bBigEndian = true;
        } else if (m_block[0] == 0x4D && m_block[1] == 0x3C && m_block[2] == 0x2B &&
                   m_block[3] == 0x1A) {
            m_bBigEndian = false;
        } else {
            Fail(blockOffset, "a section header block with an unknown byte-order mark (" +
                                  Hex(m_block.data(), 4) + ")");
            return CaptureReadResult::kError;
        }
    } else if (!m_bSectionSeen) {
        Fail(blockOffset, "a pcapng file must begin with a section header block");
        return CaptureReadResult::kError;
    }
    const std::uint32_t length = U32(header.data() + 4);
    const std::uint32_t smallest = type == kSectionHeaderBlock ? 28 : 12;
    if (length < smallest || length % 4 != 0 || length > kLargestRecord) {
        Fail(blockOffset, "a block (type " + std::to_string(type) + ") of " +
                              std::to_string(length) + " bytes: damaged (a block takes " +
                              std::to_string(smallest) + " bytes at least, a multiple of 4)");
        return CaptureReadResult::kError;
    }
    const std::size_t before = m_block.size();
    if (!Take(m_block, length - 8 - before)) {
        return CaptureReadResult::kError;
    }
    const bool bPacketBlock = type == kEnhancedPacketBlock || type == kSimplePacketBlock;
    if (m_block.size() + 8 < length) {
        Fail(blockOffset,
             "the file ends inside " +
                 (bPacketBlock ? PacketName() : "a block (type " + std::to_string(type) + ")") +
                 " (" + std::to_string(length) + " bytes announced, " +
                 std::to_string(m_block.size() + 8) + " there)");
        return CaptureReadResult::kError;
    }
    const std::uint32_t trailer = U32(m_block.data() + m_block.size() - 4);
    if (trailer != length) {
        Fail(blockOffset, "a block (type " + std::to_string(type) + ") whose closing length " +
                              std::to_string(trailer) + " differs from its opening length " +
                              std::to_string(length));
        return CaptureReadResult::kError;
    }
    m_block.resize(m_block.size() - 4);
    switch (type) {
        case kSectionHeaderBlock:
            return ParseSectionHeader(blockOffset) ? CaptureReadResult::kPacket
                                                   : CaptureReadResult::kError;
        case kInterfaceBlock:
            return ParseInterface(blockOffset) ? CaptureReadResult::kPacket
                                               : CaptureReadResult::kError;
        case kEnhancedPacketBlock:
        case kSimplePacketBlock:
            if (!ParsePacketBlock(type, blockOffset, packet)) {
                return CaptureReadResult::kError;
            }
            bPacket = true;
            return CaptureReadResult::kPacket;
        default:
            // Statistics, name resolution, journal and custom blocks say nothing about packets.
            return CaptureReadResult::kPacket;
    }
}

bool CCaptureFile::ParseSectionHeader(std::uint64_t blockOffset) {
    // m_block: the byte-order mark, versions, section length, options.
    const std::uint16_t major = U16(m_block.data() + 4);
    if (major != 1) {
        return Fail(blockOffset, "pcapng version " + std::to_string(major) + "." +
                                     std::to_string(U16(m_block.data() + 6)) +
                                     " is not one this reader knows (1.x)");
    }
    // Interface numbers start again in every section.
    m_interfaces.clear();
    m_bSectionSeen = true;
    return true;
}

bool CCaptureFile::ParseInterface(std::uint64_t blockOffset) {
    if (m_block.size() < 8) {
        return Fail(blockOffset, "an interface description block too short for its fields");
    }
    Interface added;
    added.linkType = U16(m_block.data());
    added.snapLength = U32(m_block.data() + 4);
    std::size_t at = 8;
    while (at + 4 <= m_block.size()) {
        const std::uint16_t code = U16(m_block.data() + at);
        const std::uint16_t size = U16(m_block.data() + at + 2);
        at += 4;
        if (code == kOptionEnd) {
            break;
        }
        if (at + size > m_block.size()) {
            return Fail(blockOffset, "interface " + std::to_string(m_interfaces.size()) +
                                         ": an option runs past the end of its block");
        }
        const std::uint8_t* value = m_block.data() + at;
        if (code == kOptionTimeResolution && size >= 1) {
            added.bBinaryResolution = (value[0] & 0x80) != 0;
            added.exponent = value[0] & 0x7F;
            // Finer units than these do not fit a 64-bit stamp's fraction.
            if (added.exponent > (added.bBinaryResolution ? 63u : 19u)) {
                return Fail(blockOffset, "interface " + std::to_string(m_interfaces.size()) +
                                             ": a time resolution of " +
                                             (added.bBinaryResolution ? "2^-" : "10^-") +
                                             std::to_string(added.exponent) +
                                             " s is finer than any stamp can hold");
            }
        } else if (code == kOptionTimeOffset && size >= 8) {
            added.offsetSeconds = static_cast<std::int64_t>(U64(value));
        }
        at += PaddedTo4(size);
    }
    m_interfaces.push_back(added);
    return true;
}

bool CCaptureFile::ParsePacketBlock(std::uint32_t type, std::uint64_t blockOffset,
                                    CapturedPacket& packet) {
    const Interface* pInterface = nullptr;
    std::uint32_t captured = 0;
    std::uint32_t original = 0;
    std::size_t dataAt = 0;
    std::uint64_t units = 0;
    if (type == kEnhancedPacketBlock) {
        if (m_block.size() < 20) {
            return Fail(blockOffset, PacketName() + ": an enhanced packet block too short");
        }
        const std::uint32_t interfaceId = U32(m_block.data());
        if (interfaceId >= m_interfaces.size()) {
            return Fail(blockOffset, PacketName() + " names interface " +
                                         std::to_string(interfaceId) + "; its section has " +
                                         std::to_string(m_interfaces.size()));
        }
        pInterface = &m_interfaces[interfaceId];
        units = (std::uint64_t{U32(m_block.data() + 4)} << 32) | U32(m_block.data() + 8);
        captured = U32(m_block.data() + 12);
        original = U32(m_block.data() + 16);
        dataAt = 20;
        if (std::uint64_t{dataAt} + PaddedTo4(captured) > m_block.size() ||
            captured > kLargestRecord) {
            return Fail(blockOffset, PacketName() + " claims " + std::to_string(captured) +
                                         " captured bytes; its block holds " +
                                         std::to_string(m_block.size() - dataAt));
        }
    } else {
        if (m_block.size() < 4) {
            return Fail(blockOffset, PacketName() + ": a simple packet block too short");
        }
        if (m_interfaces.empty()) {
            return Fail(blockOffset, PacketName() + ": a simple packet block before any interface");
        }
        // A simple packet block belongs to the section's first interface and keeps as much of
        // the packet as that interface's snap length allows.
        pInterface = &m_interfaces.front();
        original = U32(m_block.data());
        dataAt = 4;
        captured = original;
        if (pInterface->snapLength != 0) {
            captured = std::min(captured, pInterface->snapLength);
        }
        captured =
            std::min<std::uint32_t>(captured, static_cast<std::uint32_t>(m_block.size() - dataAt));
    }

    std::int64_t timeNs = 0;
    if (type == kEnhancedPacketBlock) {
        const Interface& link = *pInterface;
        std::uint64_t seconds = 0;
        std::uint64_t fractionNs = 0;
        if (link.bBinaryResolution) {
            seconds = link.exponent == 0 ? units : units >> link.exponent;
            const std::uint64_t fraction =
                link.exponent == 0 ? 0 : units & ((std::uint64_t{1} << link.exponent) - 1);
            fractionNs = MultiplyShift(fraction, kNanosecondsPerSecond, link.exponent);
        } else {
            const std::uint64_t perSecond = PowerOfTen(link.exponent);
            seconds = units / perSecond;
            const std::uint64_t fraction = units % perSecond;
            fractionNs = link.exponent <= 9 ? fraction * PowerOfTen(9 - link.exponent)
                                            : fraction / PowerOfTen(link.exponent - 9);
        }
        const bool bInRange =
            seconds <= static_cast<std::uint64_t>(kLatestSecond) &&
            (link.offsetSeconds >= 0
                 ? static_cast<std::int64_t>(seconds) <= kLatestSecond - link.offsetSeconds
                 : static_cast<std::int64_t>(seconds) >= kEarliestSecond - link.offsetSeconds);
        if (!bInRange) {
            return Fail(blockOffset, PacketName() +
                                         ": its time lies outside the years 1678 to 2262 (damaged "
                                         "stamp?)");
        }
        timeNs = (static_cast<std::int64_t>(seconds) + link.offsetSeconds) * kNanosecondsPerSecond +
                 static_cast<std::int64_t>(fractionNs);
    }

    packet.bytes.assign(m_block.begin() + static_cast<std::ptrdiff_t>(dataAt),
                        m_block.begin() + static_cast<std::ptrdiff_t>(dataAt + captured));
    packet.number = ++m_nPackets;
    packet.fileOffset = blockOffset;
    packet.bTimed = type == kEnhancedPacketBlock;
    packet.timeNs = timeNs;
    packet.linkType = pInterface->linkType;
    packet.capturedLength = captured;
    packet.originalLength = original;
    return true;
}

bool IsPacketCapture(const std::string& path) {
    CFileHandle file;
    std::uint8_t first[4] = {};
    if (file.OpenForRead(path) != FileError::None ||
        file.ReadAt(0, first, sizeof first).bytes != sizeof first) {
        return false;
    }
    const std::uint32_t little =
        static_cast<std::uint32_t>(first[0]) | static_cast<std::uint32_t>(first[1]) << 8 |
        static_cast<std::uint32_t>(first[2]) << 16 | static_cast<std::uint32_t>(first[3]) << 24;
    const std::uint32_t big =
        static_cast<std::uint32_t>(first[3]) | static_cast<std::uint32_t>(first[2]) << 8 |
        static_cast<std::uint32_t>(first[1]) << 16 | static_cast<std::uint32_t>(first[0]) << 24;
    for (const std::uint32_t magic : {little, big}) {
        if (magic == kPcapMicroseconds || magic == kPcapNanoseconds ||
            magic == kSectionHeaderBlock) {
            return true;
        }
    }
    return false;
}
