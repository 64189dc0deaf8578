#pragma once
// The lines of the loaded data file as the data list shows them: one item per line that does not
// begin with the converted-file marker, read back from the file on demand through a CLineIndex
// so that a list of a million lines costs a few bytes per line instead of its text.
// An item shows its bytes as read in binary mode: control bytes as their visible symbols and
// other bytes as Windows-1252 text (the text is UTF-8). It shows at most the first kShownBytes
// bytes of its line, then an ellipsis, so that a file of one huge line (a binary capture without
// line ends) draws as fast as any other.
// User-interface thread only. Load reports failure by its result.
#include <cstddef>
#include <string>
#include <string_view>

#include "datafile/LineIndex.h"
#include "ui/ListSource.h"

class CLineListSource : public CListSource {
  public:
    // How many bytes of a line an item shows before the ellipsis.
    static constexpr std::size_t kShownBytes = 4096;

    // Replaces the lines with those of the file at `path`. Returns 0, or -1 when the file cannot
    // be opened or read (there are then no lines).
    int Load(const std::string& path);
    // Removes every line and lets go of the file.
    void Clear();
    // The number of items; a file with more lines than an int counts shows the first INT_MAX.
    int Count() const { return m_nCount; }
    // The bytes of line `nIndex` exactly as read (a CR before the line end kept), whole.
    std::string LineBytes(int nIndex) const;

    std::string ItemText(int nIndex) const override;

    // The text a line of bytes is shown as: 0x00-0x1F as U+2400 plus the byte (CR as U+240D),
    // 0x7F as U+2421, 0x80-0xFF by the Windows-1252 code page, everything else as it is.
    static std::string VisibleText(std::string_view bytes);

  private:
    CLineIndex m_index;
    int m_nCount = 0;
};
