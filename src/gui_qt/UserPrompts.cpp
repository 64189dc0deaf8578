#include "gui_qt/UserPrompts.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <vector>

#include "ui/MessageBoxStyle.h"

namespace {
QMessageBox::Icon BoxIcon(MessageBoxStyle::Icon icon) {
    switch (icon) {
        case MessageBoxStyle::Icon::kError:
            return QMessageBox::Critical;
        case MessageBoxStyle::Icon::kQuestion:
            return QMessageBox::Question;
        case MessageBoxStyle::Icon::kWarning:
            return QMessageBox::Warning;
        case MessageBoxStyle::Icon::kInformation:
            return QMessageBox::Information;
        case MessageBoxStyle::Icon::kNone:
            break;
    }
    return QMessageBox::NoIcon;
}
}  // namespace

int ShowMessageBox(QWidget* owner, const QString& text, const QString& caption, unsigned nFlags) {
    const MessageBoxStyle style = MessageBoxStyle::FromFlags(nFlags);
    QMessageBox box(BoxIcon(style.icon), caption, text, QMessageBox::NoButton, owner);
    // Every button is of the same role, so that Qt picks none of them for Esc by itself: only the
    // one the flags name takes Esc and the close box, and without one they do nothing.
    std::vector<std::pair<QPushButton*, int>> buttons;
    QPushButton* escapeButton = nullptr;
    for (const MessageBoxButton& button : style.buttons) {
        QPushButton* made =
            box.addButton(QString::fromStdString(button.text), QMessageBox::ActionRole);
        buttons.emplace_back(made, button.nResult);
        if (button.nResult == style.nEscapeResult) {
            escapeButton = made;
        }
    }
    box.setDefaultButton(buttons.at(style.nDefault).first);
    box.setEscapeButton(escapeButton);
    box.exec();
    for (const auto& [button, nResult] : buttons) {
        if (box.clickedButton() == button) {
            return nResult;
        }
    }
    return style.nEscapeResult;
}

QString ChooseOpenFile(QWidget* owner, const QString& filterName) {
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
    return QFileDialog::getExistingDirectory(
        owner, title, QString(), QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
}
