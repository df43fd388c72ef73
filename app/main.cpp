#include "Form1.h"

#include "charset/ansicodepage.h"
#include "windows/qtprompts.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("morvex"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/morvex.svg")));

    QtPrompts prompts;
    // Every command and path goes to the phone through this conversion; without it
    // Connect would send nothing and say nothing.
    if (const std::optional<QString> fault = AnsiCodePage::conversionFault()) {
        prompts.message(*fault + QStringLiteral(" Morvex cannot talk to the phone."),
                        Prompts::Icon::Warning);
        return 1;
    }

    Form1 window(prompts);
    prompts.setOwner(&window);
    window.show();
    return app.exec();
}
