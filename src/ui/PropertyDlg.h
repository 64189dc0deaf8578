#pragma once
// One page of the Output Option dialog: a child window built from its own template, holding a
// copy of one slice of the option record. The page copies its whole slice in and out, so fields
// it does not show travel through it unchanged. GUI thread only; nothing here fails.
#include <QWidget>

#include "options/OptionRecord.h"

class CPropertyDlg : public QWidget {
    Q_OBJECT
  public:
    explicit CPropertyDlg(QWidget* parent = nullptr) : QWidget(parent) {}
    ~CPropertyDlg() override = default;

    // Copies the page's slice of `source` into the page; the controls show it once the page
    // has been created.
    virtual void SetProperty(const OptionRecord& source) = 0;
    // Reads the controls into the page's copy, then copies the whole slice into `destination`.
    virtual void GetProperty(OptionRecord& destination) = 0;
    // Builds the page's controls, hidden, as a child of `parent`, and fills them from the copy.
    virtual void CreatePage(QWidget* parent) = 0;
};
