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
}

void PortCombo::showPopup()
{
    refreshDevices();
    QComboBox::showPopup();
}
