#include "datafile/PayloadDecoder.h"

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

int HexPairToByte(char high, char low) {
    const int highValue = HexDigitValue(high);
    const int lowValue = HexDigitValue(low);
    if (highValue == -1 || lowValue == -1) {
        return -1;
    }
    return highValue * 16 + lowValue;
}

std::size_t DecodePayloadLine(std::string_view line, unsigned char (&buffer)[kPayloadBufferSize]) {
    const std::size_t length = line.size();
    std::size_t position = 0;
    std::size_t count = 0;
    // Every escape needs the "x" and two characters after it: fewer than three left ends it.
    while (length - position >= 3 && count < kPayloadBufferSize) {
        const std::size_t x = line.find('x', position);
        if (x == std::string_view::npos || length - x < 3) {
            break;
        }
        // A bad digit gives -1, whose low 8 bits are 0xFF.
        buffer[count++] =
            static_cast<unsigned char>(HexPairToByte(line[x + 1], line[x + 2]) & 0xFF);
        position = x + 3;
    }
    return count;
}
