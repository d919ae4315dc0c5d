// The level meter drawn offscreen: cell geometry, zone colours, lit counts, frames and which
// assignments reach the screen, checked on the canvas and on the window's screen image.
#include "Cmp_LedDisplay.h"
#include "MainWindowMeter.h"
#include "SystemColors.h"

#include <QApplication>
#include <QMetaProperty>
#include <QMouseEvent>
#include <QScreen>

#include <gtest/gtest.h>

#include <climits>
#include <memory>

namespace {

const QColor WindowGrey(212, 208, 200), ShadowGrey(128, 128, 128), HighlightWhite(255, 255, 255);
const QColor Marker(255, 0, 255), Blue(0, 0, 255);

// A shown top-level window holding one meter; the window's background is what the meter inherits.
class MeterTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        Host = std::make_unique<QWidget>();
        Host->resize(400, 260);
        Led = new TLedDisplay(Host.get());
    }

    void ShowHost(const QColor &Background)
    {
        QPalette Palette = Host->palette();
        Palette.setColor(QPalette::Window, Background);
        Host->setPalette(Palette);
        Host->show();
        QApplication::processEvents();
    }

    // The meter as the main window has it: a horizontal 150 x 8 peak bar of 50 cells on black.
    void ConfigureAsMainWindow()
    {
        ConfigureAsMainWindowMeter(*Led);
        ShowHost(clBlack);
    }

    QColor CanvasAt(int x, int y) const { return Led->Canvas().pixelColor(x, y); }

    // What the window shows right now, without letting Qt process anything first.
    QImage ScreenImage() const { return Host->screen()->grabWindow(Host->winId()).toImage(); }
    QColor OnScreen(int x, int y) const
    {
        return ScreenImage().pixelColor(Led->x() + x, Led->y() + y);
    }
    void ExpectScreenShowsCanvas() const
    {
        const QImage Screen = ScreenImage();
        EXPECT_EQ(Screen.copy(Led->geometry()), Led->Canvas().convertToFormat(Screen.format()));
    }

    // In the main window's bar cell k (from 1) is the one-pixel column x = 3 (k - 1) + 1.
    static int Column(int k) { return 3 * (k - 1) + 1; }
    static QColor MainActive(int k) { return k <= 35 ? clLime : k <= 44 ? clYellow : clRed; }

    int LitInMainBar() const
    {
        int Lit = 0;
        for (int k = 1; k <= 50; ++k) {
            const QColor Shown = CanvasAt(Column(k), 3);
            if (Shown == MainActive(k))
                ++Lit;
            else
                EXPECT_EQ(Shown, clBtnShadow()) << "cell " << k;
        }
        return Lit;
    }

    std::unique_ptr<QWidget> Host;
    TLedDisplay *Led = nullptr;
};

TEST_F(MeterTest, MainWindowBarGeometryAndLitCounts)
{
    ConfigureAsMainWindow();
    Led->setPosition(32767);
    ASSERT_EQ(Led->Canvas().size(), QSize(150, 8));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 150; ++x) {
            const bool Cell = x % 3 == 1 && y >= 2 && y <= 5;
            ASSERT_EQ(CanvasAt(x, y), Cell ? MainActive(x / 3 + 1) : clBlack) << x << "," << y;
        }
    ExpectScreenShowsCanvas();

    // Large positions light every cell instead of wrapping to a negative count.
    const int Cases[][2] = {{16384, 25}, {32768, 50}, {655, 0},      {656, 1},
                            {-1, 0},     {0, 0},      {INT_MAX, 50}, {INT_MIN, 0}};
    for (const auto &Case : Cases) {
        Led->setPosition(Case[0]);
        EXPECT_EQ(LitInMainBar(), Case[1]) << "position " << Case[0];
        ExpectScreenShowsCanvas();
    }
}

TEST_F(MeterTest, WhatRepaintsAndWhen)
{
    ConfigureAsMainWindow();
    Led->setPosition(16384);
    Led->Canvas().setPixelColor(Column(40), 3, Marker);
    Led->setPosition(16384);
    EXPECT_EQ(CanvasAt(Column(40), 3), Marker) << "the same position paints nothing";
    Led->setPosition(16390); // the same 25 cells lit, but a new value
    EXPECT_EQ(CanvasAt(Column(40), 3), clBtnShadow());
    ExpectScreenShowsCanvas();

    Led->Canvas().setPixelColor(Column(40), 3, Marker);
    Led->setDeadColor2(Led->DeadColor2());
    EXPECT_EQ(CanvasAt(Column(40), 3), clBtnShadow()) << "an unchanged colour still repaints";

    Led->setBlockBCount(0);
    EXPECT_EQ(Led->BlockBCount(), 1);
    Led->setBlockACount(INT_MIN);
    EXPECT_EQ(Led->BlockACount(), 1);
    // Now 1 + 1 + 6 cells, 16 pixels wide, from x = k * 150 div 8 + 1; four of them lit.
    EXPECT_EQ(OnScreen(1, 2), clLime);
    EXPECT_EQ(OnScreen(16, 5), clLime);
    EXPECT_EQ(OnScreen(17, 5), clBlack);
    EXPECT_EQ(OnScreen(19, 3), clYellow);
    EXPECT_EQ(OnScreen(72, 3), clRed);
    EXPECT_EQ(OnScreen(73, 3), clBlack);
    EXPECT_EQ(OnScreen(76, 3), clBtnShadow());

    Host->hide();
    Led->setMax(0);
    EXPECT_EQ(Led->Max(), 0) << "a hidden meter has not painted yet";
    Led->PaintLEDs();
    EXPECT_EQ(Led->Max(), 1);
    EXPECT_EQ(CanvasAt(145, 3), clRed);
}

TEST_F(MeterTest, DefaultVerticalCellsFillTheirSunkenFrames)
{
    ShowHost(WindowGrey);
    Led->setPosition(5); // of 10: the five bottom cells of 11 lit
    const QColor Colours[12] = {{},      clLime,  clLime,  clLime,  clLime,  clLime,
                                clGreen, clGreen, clOlive, clOlive, clOlive, clMaroon};
    for (int k = 1; k <= 11; ++k) {
        // Cells of 200 / 11 rows from the bottom: a 28 x 16 frame, a 26 x 14 LED inside it.
        const int Top = (11 - k) * 200 / 11, Bottom = Top + 15;
        SCOPED_TRACE(testing::Message() << "cell " << k);
        for (int x = 1; x <= 27; ++x) {
            EXPECT_EQ(CanvasAt(x, Top), ShadowGrey);
            EXPECT_EQ(CanvasAt(x + 1, Bottom), HighlightWhite);
        }
        for (int y = Top; y < Bottom; ++y) {
            EXPECT_EQ(CanvasAt(1, y), ShadowGrey);
            EXPECT_EQ(CanvasAt(28, y), HighlightWhite);
            EXPECT_EQ(CanvasAt(0, y), WindowGrey);
            EXPECT_EQ(CanvasAt(29, y), WindowGrey);
        }
        for (int y = Top + 1; y < Bottom; ++y)
            for (int x = 2; x <= 27; ++x)
                ASSERT_EQ(CanvasAt(x, y), Colours[k]) << x << "," << y;
    }
    for (int y : {16, 17, 197, 199})
        EXPECT_EQ(CanvasAt(15, y), WindowGrey) << "row " << y;
    ExpectScreenShowsCanvas();

    Led->setCtl3D(false);
    EXPECT_EQ(OnScreen(1, 185), WindowGrey);
    EXPECT_EQ(OnScreen(10, 185), clLime);

    // Horizontal frames: cell k spans x = 15 (k - 1) to 15 k - 1 in a 60 x 10 control.
    Led->setCtl3D(true);
    Led->setOrientation(TLedDisplay::loHorizontal);
    Led->setSpacing(0);
    Led->resize(60, 10);
    Led->setBlockACount(2);
    Led->setBlockBCount(1);
    Led->setPosition(3);
    QApplication::processEvents();
    const QColor Horizontal[] = {clLime, clGreen, clOlive, clMaroon};
    for (int k = 1; k <= 4; ++k) {
        const int Left = 15 * (k - 1);
        EXPECT_EQ(OnScreen(Left, 7), ShadowGrey) << k;
        EXPECT_EQ(OnScreen(Left + 14, 2), HighlightWhite) << k;
        EXPECT_EQ(OnScreen(Left + 1, 2), Horizontal[k - 1]) << k;
        EXPECT_EQ(OnScreen(Left + 13, 7), Horizontal[k - 1]) << k;
        EXPECT_EQ(OnScreen(Left + 7, 9), WindowGrey) << k;
    }
}

TEST_F(MeterTest, BackgroundFollowsTheParentAndTheSize)
{
    ConfigureAsMainWindow();
    Led->setPosition(16384);
    QPalette Palette = Host->palette();
    Palette.setColor(QPalette::Window, Blue);
    Host->setPalette(Palette);
    Led->setPosition(20000); // an LED repaint before Qt has handled the palette's update
    EXPECT_EQ(OnScreen(Column(2) + 1, 3), Blue);

    Led->resize(300, 8);
    Led->setPosition(32767);
    QApplication::processEvents();
    EXPECT_EQ(OnScreen(4, 3), clLime); // cells of six pixels, four wide from x = 1
    EXPECT_EQ(OnScreen(5, 3), Blue);
    EXPECT_EQ(OnScreen(295, 3), clRed);
}

TEST_F(MeterTest, PublishedPropertiesAndMouseEvents)
{
    const QMetaObject *Meta = Led->metaObject();
    QStringList Names;
    for (int i = Meta->propertyOffset(); i < Meta->propertyCount(); ++i)
        Names << Meta->property(i).name();
    EXPECT_EQ(Names.join(' '), "Orientation Ctl3D Spacing Max Position BlockACount BlockBCount "
                               "BlockCCount ActiveColor1 ActiveColor2 ActiveColor3 DeadColor1 "
                               "DeadColor2 DeadColor3");
    EXPECT_TRUE(Led->setProperty("Orientation", "loHorizontal"));
    EXPECT_EQ(Led->Orientation(), TLedDisplay::loHorizontal);
    EXPECT_TRUE(Led->setProperty("Position", 16384));
    EXPECT_EQ(Led->Position(), 16384);

    QStringList Log;
    auto Record = [&](const char *What) {
        return [&Log, What](auto Button, Qt::KeyboardModifiers Modifiers, QPoint Pos) {
            Log << QString::asprintf("%s %d %d %d,%d", What, int(Button), int(Modifiers), Pos.x(),
                                     Pos.y());
        };
    };
    QObject::connect(Led, &TLedDisplay::OnClick, [&] { Log << "click"; });
    QObject::connect(Led, &TLedDisplay::OnDblClick, [&] { Log << "dblclick"; });
    QObject::connect(Led, &TLedDisplay::OnMouseDown, Record("down"));
    QObject::connect(Led, &TLedDisplay::OnMouseMove, Record("move"));
    QObject::connect(Led, &TLedDisplay::OnMouseUp, Record("up"));
    auto Send = [&](QEvent::Type Type, int x, Qt::MouseButton Button, Qt::MouseButtons Held) {
        QMouseEvent Event(Type, QPointF(x, 6), Led->mapToGlobal(QPointF(x, 6)), Button, Held,
                          Qt::ShiftModifier);
        QApplication::sendEvent(Led, &Event);
    };
    Send(QEvent::MouseButtonPress, 5, Qt::LeftButton, Qt::LeftButton);
    Send(QEvent::MouseMove, 7, Qt::NoButton, Qt::LeftButton);
    Send(QEvent::MouseButtonRelease, 7, Qt::LeftButton, Qt::NoButton);
    Send(QEvent::MouseButtonDblClick, 7, Qt::LeftButton, Qt::LeftButton);
    Send(QEvent::MouseButtonRelease, 7, Qt::LeftButton, Qt::NoButton);
    Send(QEvent::MouseButtonPress, 5, Qt::LeftButton, Qt::LeftButton);
    Send(QEvent::MouseButtonRelease, 40, Qt::LeftButton, Qt::NoButton); // outside: no click
    Send(QEvent::MouseButtonPress, 5, Qt::RightButton, Qt::RightButton);
    Send(QEvent::MouseButtonRelease, 5, Qt::RightButton, Qt::NoButton);
    EXPECT_EQ(Log.join('|'),
              "down 1 33554432 5,6|move 1 33554432 7,6|click|up 1 33554432 7,6|dblclick|"
              "down 1 33554432 7,6|up 1 33554432 7,6|down 1 33554432 5,6|up 1 33554432 40,6|"
              "down 2 33554432 5,6|up 2 33554432 5,6");
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication App(argc, argv);
    // Frame edges and backgrounds in colours that tell them apart.
    QPalette Palette = QApplication::palette();
    Palette.setColor(QPalette::Dark, ShadowGrey);
    Palette.setColor(QPalette::Light, HighlightWhite);
    QApplication::setPalette(Palette);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
