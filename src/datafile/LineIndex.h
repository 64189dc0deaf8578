#pragma once
// An index of the lines of a data file as the data list shows them, so that a list of a million
// lines need not hold their text: Build() scans the file once (binary mode lines, lines that begin
// with the converted-file marker skipped) and keeps the offset and length of each line and the file
// open; LineAt() reads one line back on demand.
//
// Because the file stays open, the index keeps describing the file it scanned even when a
// conversion or restore replaces the file under the same name (replacement is a rename).
// Built and read on one thread (the user-interface thread); not thread-safe. Failures are
// reported by return values.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/FileHandle.h"

class CLineIndex {
  public:
    static constexpr std::size_t kDefaultBufferSize = 256 * 1024;

    explicit CLineIndex(std::size_t bufferSize = kDefaultBufferSize);

    // Indexes the file at `path`, replacing any previous index. Returns 0, or -1 when the file
    // cannot be opened or read (the index is then empty).
    int Build(const std::string& path);
    // Forgets the index and closes the file.
    void Clear();

    // The number of lines shown (lines beginning with the marker are not counted).
    std::size_t Count() const { return m_lines.size(); }
    // The bytes of line `i` as read in binary mode (a CR before the LF kept); empty when `i` is
    // out of range or the line cannot be read back.
    std::string LineAt(std::size_t i) const;
    // As LineAt, but tells a failed read (false) apart from an empty line.
    bool ReadLineAt(std::size_t i, std::string& line) const;

  private:
    struct LineSpan {
        std::uint64_t offset;
        std::uint64_t length;
    };

    std::size_t m_nBufferSize;
    CFileHandle m_file;
    std::vector<LineSpan> m_lines;
};
