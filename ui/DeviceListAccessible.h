// What assistive technology reads of the settings window's device list: the
// name "Recording device" rather than the current item, which Qt's own
// combo box interface gives as its name on Linux; the current device is the
// description (and the value). The popup list and the text field are its
// children, and its actions open and close the list.
#pragma once

#include <QAccessibleWidget>

class QComboBox;

class TDeviceListAccessible : public QAccessibleWidget
{
  public:
    explicit TDeviceListAccessible(QComboBox *List);

    // The factory QAccessible asks for every object: an interface for the
    // combo box named CbWaveInDevice, nothing for anything else.
    static QAccessibleInterface *Create(const QString &ClassName, QObject *Object);

    QString text(QAccessible::Text Kind) const override;
    QAccessible::State state() const override;

    // Child 0 is the popup list, then the text field.
    int childCount() const override;
    QAccessibleInterface *child(int Index) const override;
    int indexOfChild(const QAccessibleInterface *Child) const override;

    QStringList actionNames() const override;
    void doAction(const QString &Action) override;

  private:
    QComboBox *List() const;
};
