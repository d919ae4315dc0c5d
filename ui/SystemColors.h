#pragma once

#include <QColor>

// The desktop's own colours, read from the application palette, so the controls follow the theme.
QColor clBtnShadow();    // the dark edge of a sunken frame
QColor clBtnHighlight(); // the light edge of a sunken frame
QColor clBtnFace();      // the face of buttons and dialogs
QColor clWindowText();   // the text of windows

// The fixed colours the windows and the level meter are drawn in.
inline constexpr QColor clBlack{0, 0, 0};
inline constexpr QColor clMaroon{128, 0, 0};
inline constexpr QColor clGreen{0, 128, 0};
inline constexpr QColor clOlive{128, 128, 0};
inline constexpr QColor clRed{255, 0, 0};
inline constexpr QColor clLime{0, 255, 0};
inline constexpr QColor clYellow{255, 255, 0};
