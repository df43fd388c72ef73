#pragma once

// What the main window shows, for tests of the whole program.
#include "app/Form1.h"

#include <QLabel>
#include <QListWidget>

inline QStringList rows(const QListWidget *list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts.append(list->item(i)->text());
    return texts;
}

inline QColor lampColour(const Form1 &window)
{
    return window.findChild<QLabel *>("ComStatus")->palette().color(QPalette::Window);
}
