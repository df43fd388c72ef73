#pragma once

#include <QComboBox>

// The port field: the port numbers 1 to 20, then the serial devices present, looked
// for again each time the list opens, so a cable plugged in after start shows up.
class PortCombo : public QComboBox
{
    Q_OBJECT

public:
    static constexpr int NumberedPorts = 20;

    using QComboBox::QComboBox;

    // Lists the devices present now after the numbers; the field's text stays.
    void refreshDevices();
    void showPopup() override;
};
