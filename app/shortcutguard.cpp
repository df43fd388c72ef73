#include "shortcutguard.h"

#include <QApplication>
#include <QKeyEvent>

ShortcutGuard::ShortcutGuard(QWidget *window, QList<QKeySequence> shortcuts)
    : QObject(window)
    , m_window(window)
    , m_shortcuts(std::move(shortcuts))
{
    qApp->installEventFilter(this);
}

bool ShortcutGuard::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::ShortcutOverride)
        return false;
    const auto *widget = qobject_cast<const QWidget *>(watched);
    if (!widget || !m_window)
        return false;
    const auto *key = static_cast<const QKeyEvent *>(event);
    if (!m_shortcuts.contains(QKeySequence(key->keyCombination())))
        return false;
    // Accepted, the key goes to the focused widget; ignored, to the shortcut.
    event->setAccepted(widget->window() != m_window);
    return true;
}
