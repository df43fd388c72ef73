#pragma once

#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

// Line edits claim Ctrl+C, Ctrl+X and (on X11) Ctrl+D for themselves, so with the
// focus in a field the window's menu shortcuts would never run. While a widget of
// the guarded window has the focus, the guard refuses that claim for exactly the
// window's own shortcuts; every other key stays with the field.
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
