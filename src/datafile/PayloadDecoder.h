#pragma once
// Turns a payload line of a converted data file back into the bytes it stands for. A payload line
// carries one byte for each "x": the two characters after the "x" are its value in hexadecimal,
// high digit first ("0x41 0x42" and "0x41x42" both carry 0x41 0x42). Pure functions: any thread
// may call them; they cannot fail.
#include <cstddef>
#include <string_view>

// Size of the decoding buffer, and so the most bytes one payload line yields.
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
