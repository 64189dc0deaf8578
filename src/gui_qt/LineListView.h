#pragma once
// The main window's data list: one column of lines in rows of one height, whole rows selected,
// no grid, no editing. It is a table view because a table keeps only a few bytes
// per row, where a tree view keeps a layout item of some forty bytes for every row (40 MB for a
// file of a million lines). It keys like a list: Up and Down, Page Up and Page Down, Home and End
// go from line to line, and Tab leaves the list. GUI thread only.
#include <QTableView>

class CLineListView : public QTableView {
    Q_OBJECT
  public:
    explicit CLineListView(QWidget* parent = nullptr);

  protected:
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    void changeEvent(QEvent* event) override;

  private:
    // Sizes every row for one line of the font, control symbols and accents included, so that
    // the row height does not depend on what the first line holds.
    void UpdateRowHeight();
};
