#pragma once

#include "serialdevices.h"

#include <QComboBox>

// Gives a combo box new entries and keeps the text in its field. Where the entries
// need more room than the design gives, the field grows to the right, into the
// empty space beside it, rather than scrolling its text out of view.
void ReplaceEntriesKeepingText(QComboBox *combo, const QStringList &entries);

// The port field: the port numbers 1 to 20, then the serial devices present, looked
// for again each time the list opens, so a cable plugged in after start shows up.
class PortCombo : public QComboBox
{
    Q_OBJECT

public:
    static constexpr int NumberedPorts = NumberedPortCount;

    using QComboBox::QComboBox;

    // Lists the numbers and the devices present now; the field's text stays.
    void refreshDevices();
    void showPopup() override;
};
