#pragma once

// The main window with its dialogs answered from a script, its controls and those
// of its debug window by name, and Connect with what the port fields say.
#include "app/Form1.h"
#include "support/scriptedprompts.h"
#include "windows/Form2.h"
#include "windows/debugForm.h"

// The kinds of control the tests look up.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

[[nodiscard]] inline bool showAndWait(QWidget *window)
{
    window->show();
    return QTest::qWaitForWindowExposed(window);
}

struct WindowFixture
{
    ScriptedPrompts prompts;
    Form1 window{prompts};
    QComboBox *const portField = control<QComboBox>("Combo1");
    QComboBox *const speedField = control<QComboBox>("Combo2");

    template<typename Widget = QWidget>
    Widget *control(const char *name) const
    {
        return window.findChild<Widget *>(name);
    }
    template<typename Widget>
    Widget *debugControl(const char *name)
    {
        return window.debugWindow()->findChild<Widget *>(name);
    }

    // Types the port and the speed into their fields and clicks Connect.
    void connectWith(const QString &port, const QString &speed = QStringLiteral("115200"))
    {
        speedField->setEditText(speed);
        portField->setEditText(port);
        window.btnConnect_Click();
    }
};
