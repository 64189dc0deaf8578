#include "gui_qt/UserPrompts.h"

#include <QFileDialog>
#include <QMessageBox>

namespace {
MessageBoxHandler& MessageHandler() {
    static MessageBoxHandler handler;
    return handler;
}
FileChooserHandler& FileHandler() {
    static FileChooserHandler handler;
    return handler;
}
FolderChooserHandler& FolderHandler() {
    static FolderChooserHandler handler;
    return handler;
}
}  // namespace

void SetMessageBoxHandler(MessageBoxHandler handler) {
    MessageHandler() = std::move(handler);
}
void SetFileChooserHandler(FileChooserHandler handler) {
    FileHandler() = std::move(handler);
}
void SetFolderChooserHandler(FolderChooserHandler handler) {
    FolderHandler() = std::move(handler);
}

void ShowMessageBox(QWidget* owner, const QString& text, const QString& caption) {
    if (MessageHandler()) {
        MessageHandler()(text, caption);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, owner);
    box.exec();
}

QString ChooseOpenFile(QWidget* owner, const QString& filterName) {
    if (FileHandler()) {
        return FileHandler()();
    }
    // Qt's own chooser lets a name that does not exist be typed, as the program expects.
    QFileDialog dialog(owner);
    dialog.setNameFilter(filterName + QStringLiteral(" (*)"));
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return QString();
    }
    return dialog.selectedFiles().first();
}

QString ChooseFolder(QWidget* owner, const QString& title) {
    if (FolderHandler()) {
        return FolderHandler()(title);
    }
    return QFileDialog::getExistingDirectory(
        owner, title, QString(), QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
}
