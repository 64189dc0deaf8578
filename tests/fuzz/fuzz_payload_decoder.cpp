// Any line decoded: never more than the buffer, never a byte outside it (the buffer sits alone
// on the heap, so the address sanitizer sees any write past it), and the bytes are those of the
// line's escapes in order.
#include <memory>
#include <string_view>
#include <vector>

#include "FuzzFiles.h"
#include "datafile/PayloadDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    auto storage = std::make_unique<unsigned char[]>(kPayloadBufferSize);
    auto& buffer = *reinterpret_cast<unsigned char(*)[kPayloadBufferSize]>(storage.get());
    const std::size_t n = DecodePayloadLine(line, buffer);
    FUZZ_CHECK(n <= kPayloadBufferSize);

    // Every escape, found the plain way: an "x" and the two characters after it.
    std::vector<unsigned char> escapes;
    for (std::size_t i = 0; i + 2 < line.size(); ++i) {
        if (line[i] == 'x') {
            const int value = HexPairToByte(line[i + 1], line[i + 2]);
            escapes.push_back(value < 0 ? 0xFF : static_cast<unsigned char>(value));
            i += 2;
        }
    }
    FUZZ_CHECK(n == std::min(escapes.size(), kPayloadBufferSize));
    for (std::size_t i = 0; i < n; ++i) {
        FUZZ_CHECK(buffer[i] == escapes[i]);
    }
    return 0;
}
