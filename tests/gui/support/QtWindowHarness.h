#pragma once
// Helpers for the Qt view's tests: a private home, the view's prompts answered at once and
// recorded, the main window made as the program makes it (the ui's CTillstreamDlg on the Qt
// views), and a modal run acted upon from inside its own event loop.
#include <QApplication>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "TempHome.h"
#include "gui_qt/QtDialogView.h"
#include "gui_qt/QtViewFactory.h"
#include "gui_qt/UserPrompts.h"
#include "options/OptionStore.h"
#include "ui/TillstreamDlg.h"

// Answers the file chooser with the next queued path (empty: cancelled) and the folder chooser
// with `folderAnswer`, and records every message box; restores the real prompts when destroyed.
class CQtPrompts {
  public:
    CQtPrompts() {
        SetMessageBoxHandler([this](const QString& text, const QString& caption) {
            texts.append(text);
            captions.append(caption);
        });
        SetFileChooserHandler(
            [this]() { return chosenFiles.isEmpty() ? QString() : chosenFiles.takeFirst(); });
        SetFolderChooserHandler([this](const QString& title) {
            chooserTitles.append(title);
            return folderAnswer;
        });
    }
    ~CQtPrompts() {
        SetMessageBoxHandler(nullptr);
        SetFileChooserHandler(nullptr);
        SetFolderChooserHandler(nullptr);
    }
    CQtPrompts(const CQtPrompts&) = delete;
    CQtPrompts& operator=(const CQtPrompts&) = delete;

    QStringList chosenFiles;
    QStringList texts;
    QStringList captions;
    QStringList chooserTitles;
    QString folderAnswer;
};

// The main window on the Qt views, made (not yet run) as the program's start makes it.
class CQtWindow {
  public:
    CQtWindow() : dlg(factory) { dlg.Create(nullptr); }

    CQtDialogView& View() const { return dynamic_cast<CQtDialogView&>(*dlg.View()); }
    QWidget* Control(int id) const { return View().Control(id); }
    template <class T>
    T* ControlAs(int id) const {
        return qobject_cast<T*>(Control(id));
    }

    CQtViewFactory factory;
    CTillstreamDlg dlg;
};

// Runs `action` on the view that is run modally next, from inside its event loop. A view the
// action left open is ended with kStillOpen.
inline constexpr int kStillOpen = 99;
inline void WhenModal(const std::function<void(CQtDialogView&)>& action) {
    QTimer::singleShot(0, [action] {
        auto* view = dynamic_cast<CQtDialogView*>(QApplication::activeModalWidget());
        if (view == nullptr) {
            qWarning("no modal view opened");
            return;
        }
        action(*view);
        if (view->isVisible()) {
            view->EndDialog(kStillOpen);
        }
    });
}

inline QString QPath(const std::string& path) {
    return QString::fromStdString(path);
}
