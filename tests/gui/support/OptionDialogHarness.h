#pragma once
// Helpers for driving the option dialogs in tests: every COM port made absent unless a test
// links a pseudo-terminal to it, message boxes and the folder chooser answered at once, and a
// modal run acted upon from inside its own event loop.
#include <QComboBox>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <string>

#include "gui_qt/UserPrompts.h"
#include "options/OptionRecord.h"
#include "platform/UserFolders.h"

// The result RunModal reports when the action left the dialog open.
inline constexpr int kStillOpen = 99;

// Runs `dialog` modally; `action` runs once the modal loop has started. When the dialog is still
// open after the action, it is ended with kStillOpen, so a refused OK shows up as that result.
template <class Dialog>
int RunModal(Dialog& dialog, const std::function<void(Dialog&)>& action) {
    QTimer::singleShot(0, &dialog, [&dialog, action] {
        action(dialog);
        if (dialog.isVisible()) {
            dialog.done(kStillOpen);
        }
    });
    return dialog.DoModal();
}

// Runs a fresh `Dialog` on `record` as the window does: SetOptionData, the modal run with
// `action`, and on a result of 2 the edited record copied back into `record`.
template <class Dialog>
int RunOnRecord(OptionRecord& record, const std::function<void(Dialog&)>& action) {
    Dialog dialog;
    dialog.SetOptionData(record);
    const int result = RunModal<Dialog>(dialog, action);
    if (result == 2) {
        dialog.GetOptionData(record);
    }
    return result;
}

// Links every port the program probes (0 to 31) to a device that does not exist, so that the
// machine's own serial lines never appear in a list. A test then links the ports it wants.
inline void MakeAllComPortsAbsent() {
    const std::filesystem::path folder = ProgramSettingsFolder() + "/ports";
    std::filesystem::create_directories(folder);
    for (int n = 0; n <= 31; ++n) {
        const std::filesystem::path link = folder / ("COM" + std::to_string(n));
        std::filesystem::remove(link);
        std::filesystem::create_symlink("/nonexistent/tillstream-test-port", link);
    }
}

// Records every message box and answers it; restores the real boxes when destroyed.
class CPromptRecorder {
  public:
    CPromptRecorder() {
        SetMessageBoxHandler([this](const QString& text, const QString& caption) {
            texts.append(text);
            captions.append(caption);
        });
        SetFolderChooserHandler([this](const QString& title) {
            chooserTitles.append(title);
            return folderAnswer;
        });
    }
    ~CPromptRecorder() {
        SetMessageBoxHandler(nullptr);
        SetFolderChooserHandler(nullptr);
    }
    CPromptRecorder(const CPromptRecorder&) = delete;
    CPromptRecorder& operator=(const CPromptRecorder&) = delete;

    QStringList texts;
    QStringList captions;
    QStringList chooserTitles;
    QString folderAnswer;  // what the folder chooser returns; empty means cancelled
};

inline QStringList ComboItems(const QComboBox* combo) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) {
        items.append(combo->itemText(i));
    }
    return items;
}
