#include "portcombo.h"

#include "serialdevices.h"

void PortCombo::refreshDevices()
{
    const QString text = currentText();
    while (count() > NumberedPorts)
        removeItem(count() - 1);
    addItems(SerialDeviceNames());
    setCurrentIndex(findText(text));
    setEditText(text);
    // A device's path is wider than a port number: the field grows to the right,
    // into the empty space beside it, so a picked one shows whole.
    setSizeAdjustPolicy(QComboBox::AdjustToContents);
    resize(qMax(width(), sizeHint().width()), height());
}

void PortCombo::showPopup()
{
    refreshDevices();
    QComboBox::showPopup();
}
