#include "portcombo.h"

#include "serialdevices.h"

void ReplaceEntriesKeepingText(QComboBox *combo, const QStringList &entries)
{
    const QString text = combo->currentText();
    combo->clear();
    combo->addItems(entries);
    combo->setCurrentIndex(combo->findText(text));
    combo->setEditText(text);
    combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    combo->resize(qMax(combo->width(), combo->sizeHint().width()), combo->height());
}

void PortCombo::refreshDevices()
{
    QStringList entries;
    for (int n = 1; n <= NumberedPorts; ++n)
        entries.append(QString::number(n));
    ReplaceEntriesKeepingText(this, entries + SerialDeviceNames());
}

void PortCombo::showPopup()
{
    refreshDevices();
    QComboBox::showPopup();
}
