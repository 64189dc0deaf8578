#include "platform/Socket.h"

#include <cstdio>

std::string FormatIPv4Address(std::uint32_t dwHostOrderAddr) {
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", (dwHostOrderAddr >> 24) & 0xFFu,
                  (dwHostOrderAddr >> 16) & 0xFFu, (dwHostOrderAddr >> 8) & 0xFFu,
                  dwHostOrderAddr & 0xFFu);
    return text;
}
