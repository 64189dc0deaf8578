#pragma once
// Helpers for driving the main window in tests: a private home (settings, runtime folder and
// data files in a temporary folder), the stored option record written before the window reads
// it, and the window's prompts answered at once and recorded.
#include <QApplication>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <memory>
#include <string>

#include "TempHome.h"
#include "gui_qt/UserPrompts.h"
#include "options/OptionRecord.h"
#include "options/OptionStore.h"

// Answers the file chooser with the next queued path (empty: cancelled) and records every
// message box; restores the real prompts when destroyed.
class CWindowPrompts {
  public:
    CWindowPrompts() {
        SetMessageBoxHandler([this](const QString& text, const QString& caption) {
            texts.append(text);
            captions.append(caption);
        });
        SetFileChooserHandler(
            [this]() { return chosenFiles.isEmpty() ? QString() : chosenFiles.takeFirst(); });
    }
    ~CWindowPrompts() {
        SetMessageBoxHandler(nullptr);
        SetFileChooserHandler(nullptr);
    }
    CWindowPrompts(const CWindowPrompts&) = delete;
    CWindowPrompts& operator=(const CWindowPrompts&) = delete;

    QStringList chosenFiles;
    QStringList texts;
    QStringList captions;
};

// Stores `record` as the user's option record, as a confirmed option dialog would.
inline void StoreOptions(const OptionRecord& record) {
    SaveStoredOptions(record, "test");
}

inline QString QPath(const std::string& path) {
    return QString::fromStdString(path);
}
