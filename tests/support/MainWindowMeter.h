// The level meter set up as the main window has it: a horizontal 150 x 8 peak
// bar of 50 cells with dark cells in the button-shadow grey. For the meter's
// tests and benchmark, which build it outside the main window.
#pragma once

#include "Cmp_LedDisplay.h"
#include "SystemColors.h"

inline void ConfigureAsMainWindowMeter(TLedDisplay &Led)
{
    Led.setGeometry(11, 33, 150, 8);
    Led.setOrientation(TLedDisplay::loHorizontal);
    Led.setCtl3D(false);
    Led.setSpacing(0);
    Led.setMax(32767);
    Led.setBlockACount(35);
    Led.setBlockBCount(9);
    Led.setBlockCCount(6);
    Led.setDeadColor1(clBtnShadow());
    Led.setDeadColor2(clBtnShadow());
    Led.setDeadColor3(clBtnShadow());
}
