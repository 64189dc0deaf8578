#pragma once
// The rows of a virtual list (a list view that keeps no text of its own): the view asks for the
// text of an item when it draws it. The ui tells the view how many items there are
// (CDialogView::SetListItemCount). User-interface thread only; never fails (an item that cannot
// be read shows empty).
#include <string>

class CListSource {
  public:
    // The text of item `nIndex` (0 <= nIndex < the count last given), 8-bit text as the view
    // takes it (UTF-8).
    virtual std::string ItemText(int nIndex) const = 0;

  protected:
    ~CListSource() = default;
};
