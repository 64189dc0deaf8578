#pragma once
// How the values of the option record are written as text and read back: the parity and
// stop-bit names (their index is the code stored), the COM port naming rule, numbers read as the
// option dialogs read them, and the strict readers the command line applies to what a user
// typed. Any thread may call these. The dialogs' readers never fail (unreadable text gives 0);
// the strict ones report by their result and leave the output alone on failure.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

inline constexpr std::array<const char*, 5> kParityNames = {"NONE", "ODD", "EVEN", "MARK", "SPACE"};
inline constexpr std::array<const char*, 3> kStopBitNames = {"1", "1.5", "2"};

// "COM%d" for ports up to 9, "\\.\COM%d" from 10: both the name that is opened and the text shown.
std::string ComPortName(int nPort);

// The number in a shown port name: the text after the last capital M (the whole text when there
// is none), read with ParseLikeStrToIntA. "COM3" gives 3, "\\.\COM12" 12, "" 0.
int ComPortNumberFromName(std::string_view text);

// Reads a number as the dialogs do: an optional "-" and then decimal digits up to the first other
// character; 0 when the text does not start that way (empty, a space, "+", letters).
// More digits than fit wrap around like 32-bit arithmetic ("4294967297" gives 1).
int ParseLikeStrToIntA(std::string_view text);

// Parity by name (NONE, ODD, EVEN, MARK, SPACE, any letter case) or by its code "0".."4".
bool ParseParityText(std::string_view text, std::int32_t& nCode);

// Stop bits by name ("1", "1.5", "2": codes 0, 1, 2). With `bCodesAllowed` the code "0" is taken
// as well; "1" and "2" always mean the names, so code 1 is reached through "1.5".
bool ParseStopBitsText(std::string_view text, bool bCodesAllowed, std::int32_t& nCode);

// A dotted IPv4 address "a.b.c.d" (each part 0..255, one to three digits) into host byte order.
bool ParseDottedIPv4(std::string_view text, std::uint32_t& dwAddr);
