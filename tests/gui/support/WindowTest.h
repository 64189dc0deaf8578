#pragma once
// Base of the window's test classes: every test function gets a private home and prompts
// answered at once (CWindowPrompts), and helpers to write a data file and to load it through
// the window's own "..." command. A derived class that needs more set-up declares its own
// init()/cleanup() and calls these first/last.
#include <QDir>
#include <QFileInfo>
#include <QObject>
#include <QPushButton>
#include <QStringList>
#include <memory>
#include <string>

#include "TempHome.h"
#include "WindowHarness.h"
#include "ui/TillstreamDlg.h"

// The window's push button `id`.
inline QPushButton* Button(CTillstreamDlg& dlg, int id) {
    return qobject_cast<QPushButton*>(dlg.Control(id));
}

// The capture files (*.dat) in `folder`, with their full paths.
inline QStringList CaptureFiles(const std::string& folder) {
    QStringList files;
    for (const QFileInfo& info :
         QDir(QPath(folder)).entryInfoList({QStringLiteral("*.dat")}, QDir::Files)) {
        files << info.absoluteFilePath();
    }
    return files;
}

class CWindowTest : public QObject {
    Q_OBJECT
  protected:
    std::string File(const std::string& name, const std::string& bytes) {
        const std::string path = m_home->Path(name);
        WriteFileBytes(path, bytes);
        return path;
    }
    // Loads `path` as if the user had chosen it with "...".
    void Choose(CTillstreamDlg& dlg, const std::string& path) {
        m_prompts->chosenFiles << QPath(path);
        dlg.OnCommand(IDC_BUTTON_SELECT_FILE);
    }

    std::unique_ptr<TempHome> m_home;
    std::unique_ptr<CWindowPrompts> m_prompts;

  protected slots:
    void init() {
        m_home = std::make_unique<TempHome>();
        m_prompts = std::make_unique<CWindowPrompts>();
    }
    void cleanup() {
        m_prompts.reset();
        m_home.reset();
    }
};
