#pragma once

// What the main window shows, for tests of the whole program.
#include "app/Form1.h"

#include <QLabel>
#include <QListWidget>

// The texts of a list's or a combo box's entries, in order.
template<typename List>
QStringList rows(const List *list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts.append(list->model()->index(i, 0).data().toString());
    return texts;
}

inline QColor lampColour(const Form1 &window)
{
    return window.findChild<QLabel *>("ComStatus")->palette().color(QPalette::Window);
}
