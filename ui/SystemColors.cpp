#include "SystemColors.h"

#include <QGuiApplication>
#include <QPalette>

namespace {

QColor paletteColor(QPalette::ColorRole role)
{
    return QGuiApplication::palette().color(QPalette::Active, role);
}

} // namespace

QColor clBtnShadow()
{
    return paletteColor(QPalette::Dark);
}

QColor clBtnHighlight()
{
    return paletteColor(QPalette::Light);
}

QColor clBtnFace()
{
    return paletteColor(QPalette::Button);
}

QColor clWindowText()
{
    return paletteColor(QPalette::WindowText);
}
