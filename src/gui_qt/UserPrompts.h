#pragma once
// The modal questions the window puts to the user: message boxes, the open-file chooser and
// the folder chooser, as the Qt view shows them. Tests replace each with a handler that answers
// at once, so that no test ever waits on a real modal window. GUI thread only.
#include <QString>
#include <functional>

class QWidget;

// A modal message box with an OK button only and no icon; returns when it is dismissed.
void ShowMessageBox(QWidget* owner, const QString& text, const QString& caption);

// The open-file chooser with a single filter named `filterName` that lets every file through; a
// name that does not exist may be typed in. Returns the chosen path, or an empty text when the
// user cancelled.
QString ChooseOpenFile(QWidget* owner, const QString& filterName);

// The folder chooser titled `title`. Returns the chosen folder, or an empty text on cancel.
QString ChooseFolder(QWidget* owner, const QString& title);

// Test hooks: while set, the matching prompt calls the handler instead of showing anything.
using MessageBoxHandler = std::function<void(const QString& text, const QString& caption)>;
using FileChooserHandler = std::function<QString()>;
using FolderChooserHandler = std::function<QString(const QString& title)>;
void SetMessageBoxHandler(MessageBoxHandler handler);
void SetFileChooserHandler(FileChooserHandler handler);
void SetFolderChooserHandler(FolderChooserHandler handler);
