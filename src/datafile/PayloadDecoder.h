#pragma once
// Turns a payload line of a converted data file back into the bytes it stands for. A payload line
// carries one byte for each "x": the two characters after the "x" are its value in hexadecimal,
// high digit first ("0x41 0x42" and "0x41x42" both carry 0x41 0x42). The free functions are pure;
// a CPayloadDecoder belongs to one thread. Nothing here fails.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Size of the decoding buffer, and so the most bytes one payload line yields in playback.
inline constexpr std::size_t kPayloadBufferSize = 512;

// 0 to 9 for "0" to "9", 10 to 15 for "A" to "F" and "a" to "f", -1 for any other character.
int HexDigitValue(char c);
// high * 16 + low, or -1 when either is not a hexadecimal digit.
int HexPairToByte(char high, char low);

// Decodes `line` (as read in binary mode, a trailing CR included) into `buffer` and returns the
// number of bytes stored. A pair with a character that is not a hexadecimal digit yields 0xFF; an
// "x" with fewer than two characters after it ends the line; an upper-case "X" starts nothing.
// A line that carries more than kPayloadBufferSize bytes is cut there: nothing is stored past the
// buffer.
std::size_t DecodePayloadLine(std::string_view line, unsigned char (&buffer)[kPayloadBufferSize]);

// Decodes one payload line given piece by piece (a line too long to be held at once), by the
// rule of DecodePayloadLine: an escape may straddle two pieces. It stores either the first
// kPayloadBufferSize bytes into a playback buffer, counting the rest, or every byte into a string.
class CPayloadDecoder {
  public:
    explicit CPayloadDecoder(unsigned char (&buffer)[kPayloadBufferSize]) : m_pBuffer(buffer) {}
    // Appends every byte to `bytes`.
    explicit CPayloadDecoder(std::string& bytes) : m_pBytes(&bytes) {}

    // The next piece of the line.
    void Feed(std::string_view piece);
    // Bytes stored in the buffer (at most kPayloadBufferSize), or appended to the string.
    std::size_t Stored() const { return m_nStored; }
    // Bytes the line carries so far, stored or not.
    std::uint64_t Carried() const { return m_nCarried; }

  private:
    unsigned char* m_pBuffer = nullptr;
    std::string* m_pBytes = nullptr;
    int m_nTaken = -1;  // -1: looking for an "x"; 0 or 1: characters of its pair taken so far
    char m_high = 0;
    std::size_t m_nStored = 0;
    std::uint64_t m_nCarried = 0;
};
