#pragma once
// The lines of the loaded data file as the data list shows them: one row per line that does not
// begin with the converted-file marker, read back from the file on demand through a CLineIndex so
// that a list of a million lines costs a few bytes per line instead of its text.
// Each row shows its bytes as read in binary mode; control bytes are drawn as their visible
// symbols and other bytes as Windows-1252 text, while RawBytesRole gives the bytes themselves.
// A row shows at most the first kShownBytes bytes of its line, then an ellipsis, so that a file
// of one huge line (a binary capture without line ends) draws as fast as any other.
// GUI thread only. Load() reports failure by its result.
#include <QAbstractListModel>
#include <QByteArray>
#include <QString>
#include <cstddef>
#include <string>

#include "datafile/LineIndex.h"

class CLineListModel : public QAbstractListModel {
    Q_OBJECT
  public:
    // The line's bytes exactly as read (a CR before the line end kept), as a QByteArray; the
    // whole line, however long.
    static constexpr int RawBytesRole = Qt::UserRole + 1;
    // How many bytes of a line the row's text (and tooltip) shows before the ellipsis.
    static constexpr std::size_t kShownBytes = 4096;

    explicit CLineListModel(QObject* parent = nullptr);

    // Replaces the rows with the lines of the file at `path`. Returns 0, or -1 when the file
    // cannot be opened or read (the model is then empty).
    int Load(const std::string& path);
    // Removes every row and lets go of the file.
    void Clear();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // The text a line of bytes is shown as: 0x00-0x1F as U+2400 plus the byte (CR as U+240D),
    // 0x7F as U+2421, 0x80-0xFF by the Windows-1252 code page, everything else as it is.
    static QString VisibleText(const QByteArray& bytes);

  private:
    CLineIndex m_index;
    int m_nRows = 0;
};
