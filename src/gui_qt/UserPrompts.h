#pragma once
// The modal questions the window puts to the user, as the Qt view shows them: message boxes, the
// open-file chooser and the folder chooser. Each returns once the user has answered. GUI thread
// only.
#include <QString>

class QWidget;

// A modal message box with the buttons, default button and icon `nFlags` ask for (the flags of
// MessageBoxA); returns the result of the button pressed.
int ShowMessageBox(QWidget* owner, const QString& text, const QString& caption, unsigned nFlags);

// The open-file chooser with a single filter named `filterName` that lets every file through; a
// name that does not exist may be typed in. Returns the chosen path, or an empty text when the
// user cancelled.
QString ChooseOpenFile(QWidget* owner, const QString& filterName);

// The folder chooser titled `title`. Returns the chosen folder, or an empty text on cancel.
QString ChooseFolder(QWidget* owner, const QString& title);
