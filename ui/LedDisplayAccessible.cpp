#include "LedDisplayAccessible.h"

#include "Cmp_LedDisplay.h"

TLedDisplayAccessible::TLedDisplayAccessible(TLedDisplay *Meter)
    : QAccessibleWidget(Meter, QAccessible::ProgressBar)
{
}

QAccessibleInterface *TLedDisplayAccessible::Create(const QString &, QObject *Object)
{
    if (auto *Meter = qobject_cast<TLedDisplay *>(Object))
        return new TLedDisplayAccessible(Meter);
    return nullptr;
}

TLedDisplay *TLedDisplayAccessible::Meter() const
{
    return static_cast<TLedDisplay *>(widget());
}

void *TLedDisplayAccessible::interface_cast(QAccessible::InterfaceType Type)
{
    if (Type == QAccessible::ValueInterface)
        return static_cast<QAccessibleValueInterface *>(this);
    return QAccessibleWidget::interface_cast(Type);
}

QString TLedDisplayAccessible::text(QAccessible::Text Kind) const
{
    if (Kind == QAccessible::Value)
        return QString::number(Meter()->PercentOfMax()) + "%";
    return QAccessibleWidget::text(Kind);
}

QVariant TLedDisplayAccessible::currentValue() const
{
    return Meter()->PercentOfMax();
}
