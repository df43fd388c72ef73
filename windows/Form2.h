#pragma once

#include <QWidget>

class QPlainTextEdit;
class QPushButton;

// The About window: what the program does, and where to find it.
class Form2 : public QWidget
{
    Q_OBJECT

public:
    explicit Form2(QWidget *owner);

    static const QString AboutText;

    void Command1_Click();

signals:
    // Closing discards the window; it is gone for its owner from this moment on.
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QPlainTextEdit *Text1;
    QPushButton *Command1;
};
