#include "qtprompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace {

QMessageBox::Icon boxIcon(Prompts::Icon icon)
{
    switch (icon) {
    case Prompts::Icon::Information:
        return QMessageBox::Information;
    case Prompts::Icon::Question:
        return QMessageBox::Question;
    case Prompts::Icon::Warning:
        return QMessageBox::Warning;
    case Prompts::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

// "*.*" means every file to the system dialog, dot or no dot; Qt's own dialog
// takes it literally and would hide names without a dot.
QString everyFileMatches(QString filter)
{
    return filter.replace(QStringLiteral("*.*"), QStringLiteral("*"));
}

} // namespace

void QtPrompts::message(const QString &text, Icon icon)
{
    QMessageBox box(boxIcon(icon), AppTitle::Caption, text, QMessageBox::Ok, m_owner);
    box.exec();
}

bool QtPrompts::question(const QString &text, Icon icon)
{
    QMessageBox box(boxIcon(icon), AppTitle::Caption, text,
                    QMessageBox::Yes | QMessageBox::No, m_owner);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

std::optional<QString> QtPrompts::saveFileName(const QString &title, const QString &filter,
                                               const QString &proposedName)
{
    const QString path = QFileDialog::getSaveFileName(m_owner, title, proposedName, everyFileMatches(filter), nullptr,
                                                      QFileDialog::DontConfirmOverwrite);
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

std::optional<QString> QtPrompts::existingDirectory(const QString &title, const QString &startFolder)
{
    const QString folder = QFileDialog::getExistingDirectory(m_owner, title, startFolder);
    if (folder.isEmpty())
        return std::nullopt;
    return folder;
}

void QtPrompts::beep()
{
    QApplication::beep();
}
