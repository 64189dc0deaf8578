#pragma once
// An index of the lines of a data file as the data list shows them, so that a list of a million
// lines need not hold their text: Build() scans the file once (binary mode lines, lines that begin
// with the converted-file marker skipped) and keeps where each line starts, and the file open;
// LineAt() reads one line back on demand.
//
// A line costs about four bytes: the low 32 bits of its start offset. The high bits are found
// from the few lines where the offsets pass a multiple of 4 GiB, and a line's length from the
// next line's start; only a line followed by skipped marker lines, and the last line, keep their
// end apart.
//
// Because the file stays open, the index keeps describing the file it scanned even when a
// conversion or restore replaces the file under the same name (replacement is a rename).
// Built and read on one thread (the user-interface thread); not thread-safe. Failures are
// reported by return values.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "platform/FileHandle.h"

class CLineIndex {
  public:
    static constexpr std::size_t kDefaultBufferSize = 256 * 1024;
    // How many low bits of each start offset a line keeps (at most 32); fewer only make the
    // rare high-bits steps frequent, so that small files show how they are handled.
    static constexpr unsigned kDefaultLowBits = 32;

    explicit CLineIndex(std::size_t bufferSize = kDefaultBufferSize,
                        unsigned lowBits = kDefaultLowBits);

    // Indexes the file at `path`, replacing any previous index. Returns 0, or -1 when the file
    // cannot be opened or read (the index is then empty).
    int Build(const std::string& path);
    // Forgets the index and closes the file.
    void Clear();

    // The number of lines shown (lines beginning with the marker are not counted).
    std::size_t Count() const { return m_startLow.size(); }
    // The length in bytes of line `i` as read in binary mode (a CR before the LF counted); 0
    // when `i` is out of range.
    std::uint64_t LengthAt(std::size_t i) const;
    // The bytes of line `i` as read in binary mode (a CR before the LF kept); empty when `i` is
    // out of range or the line cannot be read back.
    std::string LineAt(std::size_t i) const;
    // As LineAt, but reads at most the first `maxBytes` bytes of the line, and tells a failed
    // read (false) apart from an empty line.
    bool ReadLineAt(std::size_t i, std::string& line,
                    std::size_t maxBytes = std::numeric_limits<std::size_t>::max()) const;

  private:
    // Records a shown line that starts at `start` and ends (before its LF, or at the end of
    // the file) at `end`.
    void AddLine(std::uint64_t start, std::uint64_t end);
    std::uint64_t StartAt(std::size_t i) const;
    std::uint64_t EndAt(std::size_t i) const;

    std::size_t m_nBufferSize;
    unsigned m_nLowBits;
    CFileHandle m_file;
    // The low bits of each shown line's start offset. A deque grows in small blocks, so a
    // million lines never need a second copy of the table while it grows.
    std::deque<std::uint32_t> m_startLow;
    // m_highStarts[k] is the first line whose start is at or past (k + 1) << m_nLowBits (4 GiB
    // steps); offsets only grow, so the high bits of line i's start are the number of entries
    // at or before i.
    std::vector<std::size_t> m_highStarts;
    // Lines not followed directly by the next shown line (marker lines lie between), with their
    // end, in line order.
    std::vector<std::pair<std::size_t, std::uint64_t>> m_endsBeforeSkipped;
    // The end of the last shown line.
    std::uint64_t m_nLastEnd = 0;
};
