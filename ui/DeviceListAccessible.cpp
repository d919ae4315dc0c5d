#include "DeviceListAccessible.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>

TDeviceListAccessible::TDeviceListAccessible(QComboBox *List)
    : QAccessibleWidget(List, QAccessible::ComboBox)
{
}

QAccessibleInterface *TDeviceListAccessible::Create(const QString &, QObject *Object)
{
    auto *List = qobject_cast<QComboBox *>(Object);
    if (List && List->objectName() == QLatin1String("CbWaveInDevice"))
        return new TDeviceListAccessible(List);
    return nullptr;
}

QComboBox *TDeviceListAccessible::List() const
{
    return static_cast<QComboBox *>(widget());
}

QString TDeviceListAccessible::text(QAccessible::Text Kind) const
{
    if (Kind == QAccessible::Value)
        return List()->currentText();
    return QAccessibleWidget::text(Kind);
}

QAccessible::State TDeviceListAccessible::state() const
{
    QAccessible::State State = QAccessibleWidget::state();
    State.editable = List()->isEditable();
    State.expandable = true;
    State.expanded = List()->view()->isVisible();
    State.collapsed = !State.expanded;
    return State;
}

int TDeviceListAccessible::childCount() const
{
    return List()->lineEdit() ? 2 : 1;
}

QAccessibleInterface *TDeviceListAccessible::child(int Index) const
{
    if (Index == 0)
        return QAccessible::queryAccessibleInterface(List()->view());
    if (Index == 1 && List()->lineEdit())
        return QAccessible::queryAccessibleInterface(List()->lineEdit());
    return nullptr;
}

int TDeviceListAccessible::indexOfChild(const QAccessibleInterface *Child) const
{
    if (!Child)
        return -1;
    if (Child->object() == List()->view())
        return 0;
    if (List()->lineEdit() && Child->object() == List()->lineEdit())
        return 1;
    return -1;
}

QStringList TDeviceListAccessible::actionNames() const
{
    return {showMenuAction(), pressAction()};
}

void TDeviceListAccessible::doAction(const QString &Action)
{
    if (Action != showMenuAction() && Action != pressAction())
        return QAccessibleWidget::doAction(Action);
    if (List()->view()->isVisible())
        List()->hidePopup();
    else
        List()->showPopup();
}
