#pragma once

// For tests that run the whole program: the files it reads and writes, and what its
// main window shows.
#include "app/Form1.h"
#include "support/testfiles.h"

#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTest>

inline const QByteArray FolderHex = "2F7470612F7072657365742F73797374656D2F6F61662F";

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

// The copying notice shows while a copy runs.
inline bool isCopying(const Form1 &window)
{
    return window.findChild<QPlainTextEdit *>("Text1")->isVisible();
}

// Double-clicks the entry and waits until its download has ended and the window
// takes input again.
[[nodiscard]] inline bool downloadEntry(Form1 &window, const QString &name, int timeoutMs = 30000)
{
    auto *list = window.findChild<QListWidget *>("List2");
    const QList<QListWidgetItem *> found = list->findItems(name, Qt::MatchExactly);
    if (found.size() != 1)
        return false;
    const QPoint place = list->visualItemRect(found.first()).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, place);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, place);
    return isCopying(window) && QTest::qWaitFor([&] { return !isCopying(window); }, timeoutMs)
           && window.centralWidget()->isEnabled();
}
