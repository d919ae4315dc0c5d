// What assistive technology reads of a level meter: its name, its
// description and its position as a value from 0 to 100 per cent of its Max.
#pragma once

#include <QAccessibleWidget>

class TLedDisplay;

class TLedDisplayAccessible : public QAccessibleWidget, public QAccessibleValueInterface
{
  public:
    explicit TLedDisplayAccessible(TLedDisplay *Meter);

    // The factory QAccessible asks for every object: an interface for each
    // TLedDisplay, nothing for anything else.
    static QAccessibleInterface *Create(const QString &ClassName, QObject *Object);

    void *interface_cast(QAccessible::InterfaceType Type) override;
    QString text(QAccessible::Text Kind) const override;

    QVariant currentValue() const override;
    // The meter shows the input; nobody sets it.
    void setCurrentValue(const QVariant &) override {}
    QVariant maximumValue() const override { return 100; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }

  private:
    TLedDisplay *Meter() const;
};
