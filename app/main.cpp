#include "Form1.h"

#include "windows/qtprompts.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("morvex"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/morvex.svg")));

    QtPrompts prompts;
    Form1 window(prompts);
    prompts.setOwner(&window);
    window.show();
    return app.exec();
}
