// Turning payload lines back into bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "datafile/PayloadDecoder.h"

namespace {

std::vector<int> Decode(std::string_view line) {
    unsigned char buffer[kPayloadBufferSize];
    const std::size_t n = DecodePayloadLine(line, buffer);
    return std::vector<int>(buffer, buffer + n);
}

TEST(PayloadDecoderTest, DigitsAndPairs) {
    EXPECT_EQ(HexDigitValue('0'), 0);
    EXPECT_EQ(HexDigitValue('9'), 9);
    EXPECT_EQ(HexDigitValue('A'), 10);
    EXPECT_EQ(HexDigitValue('f'), 15);
    EXPECT_EQ(HexDigitValue('F'), 15);
    for (char c : {'G', 'g', 'x', ' ', '\r', '\0', '/', ':', '@', '`'}) {
        EXPECT_EQ(HexDigitValue(c), -1) << static_cast<int>(c);
    }
    EXPECT_EQ(HexDigitValue(static_cast<char>(0xB0)), -1);
    EXPECT_EQ(HexPairToByte('4', '1'), 0x41);
    EXPECT_EQ(HexPairToByte('f', 'F'), 0xFF);
    EXPECT_EQ(HexPairToByte('0', 'a'), 0x0A);
    EXPECT_EQ(HexPairToByte('4', 'G'), -1);
    EXPECT_EQ(HexPairToByte('G', '4'), -1);
}

TEST(PayloadDecoderTest, LinesDecodeToTheirBytes) {
    using V = std::vector<int>;
    EXPECT_EQ(Decode("0x41 0x42 0x0D 0x0A"), (V{0x41, 0x42, 0x0D, 0x0A}));
    EXPECT_EQ(Decode("0x41x42x0dx0a"), (V{0x41, 0x42, 0x0D, 0x0A}));
    EXPECT_EQ(Decode("0x41 0x42\r"), (V{0x41, 0x42}));  // the trailing CR carries nothing
    EXPECT_EQ(Decode("0x1b,0x40;0xfF"), (V{0x1B, 0x40, 0xFF}));
    EXPECT_EQ(Decode("0x4G"), (V{0xFF}));
    EXPECT_EQ(Decode("0x41x"), (V{0x41}));
    EXPECT_EQ(Decode("0X41 0x42"), (V{0x42}));  // an upper-case X starts nothing
    EXPECT_EQ(Decode("0x4"), V{});              // fewer than two characters after the x
    EXPECT_EQ(Decode("0x4\r"), (V{0xFF}));      // the digit and the CR form the pair
    EXPECT_EQ(Decode("0x41 0x4\r"), (V{0x41, 0xFF}));
    EXPECT_EQ(Decode("0x"), V{});
    EXPECT_EQ(Decode(""), V{});
    EXPECT_EQ(Decode("hello"), V{});
    EXPECT_EQ(Decode("xxxx"), (V{0xFF}));  // "xxx" is one escape; the last x has no pair
    EXPECT_EQ(Decode(std::string_view("0x00 0x41", 9)), (V{0x00, 0x41}));
}

TEST(PayloadDecoderTest, LongLinesAreCutAtTheBufferAndNothingIsWrittenPastIt) {
    std::string line = "0x";
    for (int i = 0; i < 600; ++i) {
        static const char kHex[] = "0123456789abcdef";
        if (i > 0) {
            line += " 0x";
        }
        line += kHex[(i >> 4) & 15];
        line += kHex[i & 15];
    }
    struct {
        unsigned char buffer[kPayloadBufferSize];
        unsigned char guard[64];
    } memory;
    std::fill(std::begin(memory.guard), std::end(memory.guard), 0xA5);
    EXPECT_EQ(DecodePayloadLine(line, memory.buffer), kPayloadBufferSize);
    for (std::size_t i = 0; i < kPayloadBufferSize; ++i) {
        ASSERT_EQ(memory.buffer[i], i & 0xFF) << i;
    }
    for (unsigned char g : memory.guard) {
        ASSERT_EQ(g, 0xA5);
    }
}

// A line fed in pieces, cut anywhere (inside an escape too), decodes as the whole line: the
// buffer keeps the first 512 bytes and counts the rest, a string takes them all.
TEST(PayloadDecoderTest, ALineInPiecesDecodesAsTheWholeLine) {
    std::string longLine;
    for (int i = 0; i < 600; ++i) {
        longLine += "0x" + std::to_string(10 + i % 90) + " ";
    }
    longLine += "0x4\r";  // the digit and the CR are a pair: 601 bytes
    for (const std::string& line : {std::string("0x41x42 0x4G xxxx0X41 0x41 0x4\r"), longLine}) {
        unsigned char whole[kPayloadBufferSize];
        const std::size_t expected = DecodePayloadLine(line, whole);
        for (std::size_t size : {std::size_t{1}, std::size_t{2}, std::size_t{7}}) {
            unsigned char buffer[kPayloadBufferSize];
            std::string all;
            CPayloadDecoder cut(buffer);
            CPayloadDecoder unlimited(all);
            for (std::size_t at = 0; at < line.size(); at += size) {
                cut.Feed(std::string_view(line).substr(at, size));
                unlimited.Feed(std::string_view(line).substr(at, size));
            }
            ASSERT_EQ(cut.Stored(), expected) << size;
            EXPECT_TRUE(std::equal(buffer, buffer + expected, whole)) << size;
            EXPECT_EQ(all.size(), line == longLine ? 601u : expected) << size;
            EXPECT_EQ(cut.Carried(), all.size()) << size;
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(whole), expected),
                      all.substr(0, expected));
        }
    }
}

}  // namespace
