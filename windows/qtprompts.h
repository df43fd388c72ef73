#pragma once

#include "app/prompts.h"

#include <QPointer>
#include <QWidget>

// The prompts as Qt's message boxes, file dialog and beep, owned by one window.
class QtPrompts : public Prompts
{
public:
    void setOwner(QWidget *owner) { m_owner = owner; }

    void message(const QString &text, Icon icon) override;
    bool question(const QString &text, Icon icon) override;
    std::optional<QString> saveFileName(const QString &title, const QString &filter,
                                        const QString &proposedName) override;
    std::optional<QString> existingDirectory(const QString &title, const QString &startFolder) override;
    void beep() override;

private:
    QPointer<QWidget> m_owner;
};
