#include "SystemColors.h"

#include <QGuiApplication>
#include <QPalette>

namespace {

QColor PaletteColor(QPalette::ColorRole Role)
{
    return QGuiApplication::palette().color(QPalette::Active, Role);
}

} // namespace

QColor clBtnShadow()
{
    return PaletteColor(QPalette::Dark);
}

QColor clBtnHighlight()
{
    return PaletteColor(QPalette::Light);
}

QColor clBtnFace()
{
    return PaletteColor(QPalette::Button);
}

QColor clWindowText()
{
    return PaletteColor(QPalette::WindowText);
}
