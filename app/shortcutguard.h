#pragma once

#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

// Keeps the window's own shortcuts to the window, both ways.
// Line edits claim Ctrl+C, Ctrl+X and (on X11) Ctrl+D for themselves, so with the
// focus in a field the window's menu shortcuts would never run: while a widget of
// the guarded window has the focus, the guard refuses that claim for exactly the
// window's own shortcuts; every other key stays with the field.
// Qt hands a tool window's unused keys on to the window that owns it, so Ctrl+X in
// the About window would end the program: in any other window the guard claims
// those keys for the focused widget, which may use them (Ctrl+C copies) or not.
class ShortcutGuard : public QObject
{
    Q_OBJECT

public:
    ShortcutGuard(QWidget *window, QList<QKeySequence> shortcuts);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointer<QWidget> m_window;
    QList<QKeySequence> m_shortcuts;
};
