#pragma once

// The main window with its dialogs answered from a script, and its controls and
// those of its debug window by name.
#include "app/Form1.h"
#include "support/scriptedprompts.h"
#include "windows/debugForm.h"

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
};
