#pragma once
// Bytes given on the command line as text with C escapes, for a device's answer such as
// "\x06" (ACK) or "OK\r\n": \\ \' \" \? \a \b \e (ESC) \f \n \r \t \v, \x followed by one or two
// hex digits, and \ followed by one to three octal digits up to \377 (\0 is NUL). Any other
// character stands for itself. Pure; any thread.
#include <optional>
#include <string>
#include <string_view>

// The bytes `text` stands for; empty with `error` set when an escape is not one of the above
// ("\q is not an escape", "\x without hex digits", ...).
std::optional<std::string> ParseEscapedText(std::string_view text, std::string& error);
