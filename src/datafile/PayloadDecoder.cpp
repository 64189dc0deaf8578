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
    CPayloadDecoder decoder(buffer);
    decoder.Feed(line);
    return decoder.Stored();
}

void CPayloadDecoder::Feed(std::string_view piece) {
    std::size_t at = 0;
    while (at < piece.size()) {
        if (m_nTaken < 0) {
            // Characters outside an escape carry nothing.
            const std::size_t x = piece.find('x', at);
            if (x == std::string_view::npos) {
                return;
            }
            m_nTaken = 0;
            at = x + 1;
        } else if (m_nTaken == 0) {
            // The two characters after an "x" are its pair, whatever they are.
            m_high = piece[at++];
            m_nTaken = 1;
        } else {
            // A bad digit gives -1, whose low 8 bits are 0xFF.
            const auto byte = static_cast<unsigned char>(HexPairToByte(m_high, piece[at++]) & 0xFF);
            m_nTaken = -1;
            ++m_nCarried;
            if (m_pBytes != nullptr) {
                m_pBytes->push_back(static_cast<char>(byte));
                ++m_nStored;
            } else if (m_nStored < kPayloadBufferSize) {
                m_pBuffer[m_nStored++] = byte;
            }
        }
    }
}
