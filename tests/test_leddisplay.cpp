// The level meter drawn offscreen: cell geometry, zone colours, lit counts, frames and which
// assignments reach the screen, checked on the canvas and on the window's screen image.
#include "Cmp_LedDisplay.h"
#include "SystemColors.h"

#include <QApplication>
#include <QMetaProperty>
#include <QMouseEvent>
#include <QPalette>
#include <QPixmap>
#include <QScreen>
#include <QStringList>

#include <gtest/gtest.h>

#include <climits>
#include <memory>

namespace {

const QColor WindowGrey(212, 208, 200);
const QColor ShadowGrey(128, 128, 128);
const QColor HighlightWhite(255, 255, 255);
const QColor Marker(255, 0, 255);

QColor pixel(const QImage &image, int x, int y)
{
    return image.pixelColor(x, y);
}

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

    void showHost(const QColor &background)
    {
        QPalette palette = Host->palette();
        palette.setColor(QPalette::Window, background);
        Host->setPalette(palette);
        Host->show();
        QApplication::processEvents();
    }

    // The meter as the main window places it: a horizontal peak bar on black.
    void configureAsMainWindow()
    {
        Led->setGeometry(11, 33, 150, 8);
        Led->setOrientation(TLedDisplay::loHorizontal);
        Led->setCtl3D(false);
        Led->setSpacing(0);
        Led->setMax(32767);
        Led->setPosition(0);
        Led->setBlockACount(35);
        Led->setBlockBCount(9);
        Led->setBlockCCount(6);
        Led->setActiveColor1(clLime);
        Led->setActiveColor2(clYellow);
        Led->setActiveColor3(clRed);
        Led->setDeadColor1(clBtnShadow());
        Led->setDeadColor2(clBtnShadow());
        Led->setDeadColor3(clBtnShadow());
        showHost(clBlack);
    }

    // What the window shows right now, without letting Qt process anything first.
    QImage screenImage() const { return Host->screen()->grabWindow(Host->winId()).toImage(); }

    QColor onScreen(int x, int y) const { return pixel(screenImage(), Led->x() + x, Led->y() + y); }

    // In the main window's bar cell k (from 1) is the one-pixel column x = 3 (k - 1) + 1.
    static int column(int k) { return 3 * (k - 1) + 1; }

    static QColor mainActive(int k) { return k <= 35 ? clLime : k <= 44 ? clYellow : clRed; }

    int litInMainBar(const QImage &image) const
    {
        int lit = 0;
        for (int k = 1; k <= 50; ++k) {
            const QColor shown = pixel(image, column(k), 3);
            if (shown == mainActive(k))
                ++lit;
            else
                EXPECT_EQ(shown, clBtnShadow()) << "cell " << k;
        }
        return lit;
    }

    std::unique_ptr<QWidget> Host;
    TLedDisplay *Led = nullptr;
};

TEST_F(MeterTest, DefaultsAndPublishedProperties)
{
    EXPECT_EQ(Led->size(), QSize(30, 200));
    EXPECT_EQ(Led->Orientation(), TLedDisplay::loVertical);
    EXPECT_TRUE(Led->Ctl3D());
    EXPECT_EQ(Led->Spacing(), 2);
    EXPECT_EQ(Led->Max(), 10);
    EXPECT_EQ(Led->Position(), 0);
    EXPECT_EQ(Led->BlockACount(), 7);
    EXPECT_EQ(Led->BlockBCount(), 3);
    EXPECT_EQ(Led->BlockCCount(), 1);
    EXPECT_EQ(Led->ActiveColor1(), QColor(0, 255, 0));
    EXPECT_EQ(Led->ActiveColor2(), QColor(255, 255, 0));
    EXPECT_EQ(Led->ActiveColor3(), QColor(255, 0, 0));
    EXPECT_EQ(Led->DeadColor1(), QColor(0, 128, 0));
    EXPECT_EQ(Led->DeadColor2(), QColor(128, 128, 0));
    EXPECT_EQ(Led->DeadColor3(), QColor(128, 0, 0));

    const QMetaObject *meta = Led->metaObject();
    QStringList names;
    for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i)
        names << QString::fromLatin1(meta->property(i).name());
    EXPECT_EQ(names.join(' '), QStringLiteral("Orientation Ctl3D Spacing Max Position BlockACount "
                                              "BlockBCount BlockCCount ActiveColor1 ActiveColor2 "
                                              "ActiveColor3 DeadColor1 DeadColor2 DeadColor3"));

    // As a form designer sets them: by name, enumerations also by their text.
    EXPECT_TRUE(Led->setProperty("Orientation", QStringLiteral("loHorizontal")));
    EXPECT_EQ(Led->Orientation(), TLedDisplay::loHorizontal);
    EXPECT_TRUE(Led->setProperty("Position", 16384));
    EXPECT_EQ(Led->Position(), 16384);
    EXPECT_TRUE(Led->setProperty("DeadColor2", QColor(1, 2, 3)));
    EXPECT_EQ(Led->DeadColor2(), QColor(1, 2, 3));
}

TEST_F(MeterTest, MainWindowBarIsOnePixelCellsEveryThreePixels)
{
    configureAsMainWindow();
    Led->setPosition(32767);
    const QImage canvas = Led->Canvas();
    ASSERT_EQ(canvas.size(), QSize(150, 8));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 150; ++x) {
            const bool cell = x % 3 == 1 && y >= 2 && y <= 5;
            const QColor expected = cell ? mainActive(x / 3 + 1) : clBlack;
            ASSERT_EQ(pixel(canvas, x, y), expected) << "x " << x << " y " << y;
        }
    EXPECT_EQ(screenImage().copy(Led->geometry()), canvas.convertToFormat(screenImage().format()));
}

TEST_F(MeterTest, PositionLightsCellsInProportionWithoutWrapping)
{
    configureAsMainWindow();
    const struct
    {
        int position;
        int lit;
    } cases[] = {{16384, 25}, {32767, 50}, {32768, 50},   {655, 0},     {656, 1},
                 {-1, 0},     {-32768, 0}, {INT_MAX, 50}, {INT_MIN, 0}, {0, 0}};
    for (const auto &c : cases) {
        Led->setPosition(c.position);
        EXPECT_EQ(litInMainBar(Led->Canvas()), c.lit) << "position " << c.position;
    }
}

TEST_F(MeterTest, PositionReachesTheScreenBeforeTheSetterReturns)
{
    configureAsMainWindow();
    Led->setPosition(16384);
    EXPECT_EQ(onScreen(column(25), 3), clLime);
    EXPECT_EQ(onScreen(column(26), 3), clBtnShadow());
    Led->setPosition(32767);
    EXPECT_EQ(onScreen(column(50), 5), clRed);
    EXPECT_EQ(onScreen(column(50) + 1, 5), clBlack);
    Led->setPosition(-5);
    EXPECT_EQ(onScreen(column(1), 2), clBtnShadow());
}

TEST_F(MeterTest, OnlyChangesRepaintPositionButColoursAlwaysDo)
{
    configureAsMainWindow();
    Led->setPosition(16384);
    Led->Canvas().setPixelColor(column(3), 3, Marker);
    Led->Canvas().setPixelColor(column(40), 3, Marker);

    Led->setPosition(16384);
    EXPECT_EQ(pixel(Led->Canvas(), column(3), 3), Marker);
    EXPECT_EQ(pixel(Led->Canvas(), column(40), 3), Marker);

    Led->setPosition(16390); // another value with the same 25 cells lit
    EXPECT_EQ(pixel(Led->Canvas(), column(3), 3), clLime);
    EXPECT_EQ(pixel(Led->Canvas(), column(40), 3), clBtnShadow());
    EXPECT_EQ(onScreen(column(3), 3), clLime);

    Led->Canvas().setPixelColor(column(40), 3, Marker);
    Led->setDeadColor2(Led->DeadColor2());
    EXPECT_EQ(pixel(Led->Canvas(), column(40), 3), clBtnShadow());
    EXPECT_EQ(onScreen(column(40), 3), clBtnShadow());

    Led->setDeadColor2(clOlive);
    EXPECT_EQ(onScreen(column(40), 3), clOlive);
}

TEST_F(MeterTest, ZeroMaxBecomesOneAtTheNextLedPaint)
{
    configureAsMainWindow();
    Host->hide();
    Led->setPosition(1);
    Led->setMax(0);
    EXPECT_EQ(Led->Max(), 0) << "a hidden meter has not painted yet";
    Led->PaintLEDs();
    EXPECT_EQ(Led->Max(), 1);
    EXPECT_EQ(litInMainBar(Led->Canvas()), 50);

    Host->show();
    QApplication::processEvents();
    Led->setMax(0); // painted at once while shown
    EXPECT_EQ(Led->Max(), 1);
    EXPECT_EQ(onScreen(column(50), 3), clRed);
}

TEST_F(MeterTest, CountsBelowOneAreStoredAsOneAndRelayTheBar)
{
    configureAsMainWindow();
    Led->setBlockBCount(0);
    EXPECT_EQ(Led->BlockBCount(), 1);
    Led->setBlockCCount(-7);
    EXPECT_EQ(Led->BlockCCount(), 1);
    Led->setBlockACount(INT_MIN);
    EXPECT_EQ(Led->BlockACount(), 1);

    // Three cells of 50 pixels: 48 wide from x = 1, zone colours lime, yellow, red.
    Led->setMax(3);
    Led->setPosition(3);
    const QImage canvas = Led->Canvas();
    EXPECT_EQ(pixel(canvas, 1, 2), clLime);
    EXPECT_EQ(pixel(canvas, 48, 5), clLime);
    EXPECT_EQ(pixel(canvas, 49, 5), clBlack);
    EXPECT_EQ(pixel(canvas, 51, 3), clYellow);
    EXPECT_EQ(pixel(canvas, 101, 3), clRed);
    EXPECT_EQ(pixel(canvas, 148, 3), clRed);
    EXPECT_EQ(pixel(canvas, 149, 3), clBlack);
    EXPECT_EQ(pixel(canvas, 20, 6), clBlack);
}

class FramedMeterTest : public MeterTest
{
  protected:
    // Default vertical meter: 11 cells of 200 / 11 = 18 rows, frame 16 rows, LED 14 rows.
    static int frameTop(int k) { return (11 - k) * 200 / 11; }

    void expectFramedCell(const QImage &image, int k, const QColor &led)
    {
        const int top = frameTop(k), bottom = top + 15;
        SCOPED_TRACE(testing::Message() << "cell " << k);
        for (int x = 1; x <= 27; ++x)
            EXPECT_EQ(pixel(image, x, top), ShadowGrey) << "top edge x " << x;
        for (int x = 1; x <= 28; ++x)
            EXPECT_EQ(pixel(image, x, bottom), HighlightWhite) << "bottom edge x " << x;
        for (int y = top; y < bottom; ++y) {
            EXPECT_EQ(pixel(image, 1, y), ShadowGrey) << "left edge y " << y;
            EXPECT_EQ(pixel(image, 28, y), HighlightWhite) << "right edge y " << y;
            EXPECT_EQ(pixel(image, 0, y), WindowGrey);
            EXPECT_EQ(pixel(image, 29, y), WindowGrey);
        }
        for (int y = top + 1; y < bottom; ++y)
            for (int x = 2; x <= 27; ++x)
                ASSERT_EQ(pixel(image, x, y), led) << "x " << x << " y " << y;
    }
};

TEST_F(FramedMeterTest, DefaultVerticalCellsFillTheirSunkenFrames)
{
    showHost(WindowGrey);
    Led->setPosition(5); // 5 * 11 div 10: the five bottom cells lit
    const QImage canvas = Led->Canvas();
    const QColor expected[12] = {{},      clLime,  clLime,  clLime,  clLime,  clLime,
                                 clGreen, clGreen, clOlive, clOlive, clOlive, clMaroon};
    for (int k = 1; k <= 11; ++k)
        expectFramedCell(canvas, k, expected[k]);
    // The two spacing rows between frames and the rows below the bottom frame.
    for (int y : {16, 17, 197, 198, 199})
        EXPECT_EQ(pixel(canvas, 15, y), WindowGrey) << "row " << y;
    EXPECT_EQ(screenImage().copy(Led->geometry()), canvas.convertToFormat(screenImage().format()));

    Led->setCtl3D(false);
    EXPECT_EQ(onScreen(1, frameTop(1) + 5), WindowGrey);
    EXPECT_EQ(onScreen(28, frameTop(1) + 5), WindowGrey);
    EXPECT_EQ(onScreen(10, frameTop(1) + 5), clLime);
}

TEST_F(FramedMeterTest, HorizontalFramesRunLeftToRight)
{
    showHost(WindowGrey);
    Led->setGeometry(0, 0, 60, 10);
    Led->setOrientation(TLedDisplay::loHorizontal);
    Led->setBlockACount(2);
    Led->setBlockBCount(1);
    Led->setBlockCCount(1);
    Led->setSpacing(0);
    Led->setMax(4);
    Led->setPosition(1);
    const QImage canvas = Led->Canvas();
    // Cell k: frame x from 15 (k - 1) to 15 k - 1, rows 1 to 8; LED inside it, rows 2 to 7.
    for (int k = 1; k <= 4; ++k) {
        const int left = 15 * (k - 1);
        const QColor led = k == 1 ? clLime : k == 2 ? clGreen : k == 3 ? clOlive : clMaroon;
        SCOPED_TRACE(testing::Message() << "cell " << k);
        EXPECT_EQ(pixel(canvas, left, 1), ShadowGrey);
        EXPECT_EQ(pixel(canvas, left, 7), ShadowGrey);
        EXPECT_EQ(pixel(canvas, left + 7, 1), ShadowGrey);
        EXPECT_EQ(pixel(canvas, left + 14, 4), HighlightWhite);
        EXPECT_EQ(pixel(canvas, left + 7, 8), HighlightWhite);
        EXPECT_EQ(pixel(canvas, left + 1, 2), led);
        EXPECT_EQ(pixel(canvas, left + 13, 7), led);
        EXPECT_EQ(pixel(canvas, left + 7, 0), WindowGrey);
        EXPECT_EQ(pixel(canvas, left + 7, 9), WindowGrey);
    }
}

TEST_F(MeterTest, BackgroundFollowsTheParentAndTheSize)
{
    configureAsMainWindow();
    Led->setPosition(16384);
    QPalette palette = Host->palette();
    palette.setColor(QPalette::Window, Qt::blue);
    Host->setPalette(palette);
    Led->setPosition(20000); // an LED repaint before Qt has handled the palette's update
    EXPECT_EQ(onScreen(column(2) + 1, 3), QColor(Qt::blue));
    EXPECT_EQ(onScreen(column(2), 3), clLime);

    Led->resize(300, 8);
    Led->setPosition(32767);
    QApplication::processEvents();
    // Cells of six pixels now: four wide from x = 1.
    const QImage canvas = Led->Canvas();
    ASSERT_EQ(canvas.size(), QSize(300, 8));
    EXPECT_EQ(pixel(canvas, 1, 3), clLime);
    EXPECT_EQ(pixel(canvas, 4, 3), clLime);
    EXPECT_EQ(pixel(canvas, 5, 3), QColor(Qt::blue));
    EXPECT_EQ(pixel(canvas, 295, 3), clRed);
    EXPECT_EQ(onScreen(295, 3), clRed);
}

TEST_F(MeterTest, MouseEventsArePublished)
{
    showHost(WindowGrey);
    QStringList log;
    QObject::connect(Led, &TLedDisplay::OnClick, [&] { log << "click"; });
    QObject::connect(Led, &TLedDisplay::OnDblClick, [&] { log << "dblclick"; });
    QObject::connect(Led, &TLedDisplay::OnMouseDown,
                     [&](Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint pos) {
                         log << QStringLiteral("down %1 %2 %3,%4")
                                    .arg(int(button))
                                    .arg(int(modifiers))
                                    .arg(pos.x())
                                    .arg(pos.y());
                     });
    QObject::connect(
        Led, &TLedDisplay::OnMouseUp,
        [&](Qt::MouseButton button, Qt::KeyboardModifiers, QPoint pos) {
            log << QStringLiteral("up %1 %2,%3").arg(int(button)).arg(pos.x()).arg(pos.y());
        });
    QObject::connect(
        Led, &TLedDisplay::OnMouseMove,
        [&](Qt::MouseButtons buttons, Qt::KeyboardModifiers, QPoint pos) {
            log << QStringLiteral("move %1 %2,%3").arg(int(buttons)).arg(pos.x()).arg(pos.y());
        });

    auto send = [&](QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons held,
                    Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QMouseEvent event(type, QPointF(pos), Led->mapToGlobal(QPointF(pos)), button, held,
                          modifiers);
        QApplication::sendEvent(Led, &event);
    };
    send(QEvent::MouseButtonPress, {5, 6}, Qt::LeftButton, Qt::LeftButton, Qt::ShiftModifier);
    send(QEvent::MouseMove, {7, 8}, Qt::NoButton, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, {7, 8}, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(log.join('|'), QStringLiteral("down 1 33554432 5,6|move 1 7,8|click|up 1 7,8"));

    log.clear();
    send(QEvent::MouseButtonPress, {5, 6}, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, {40, 6}, Qt::LeftButton, Qt::NoButton);
    send(QEvent::MouseButtonPress, {5, 6}, Qt::RightButton, Qt::RightButton);
    send(QEvent::MouseButtonRelease, {5, 6}, Qt::RightButton, Qt::NoButton);
    EXPECT_EQ(log.join('|'), QStringLiteral("down 1 0 5,6|up 1 40,6|down 2 0 5,6|up 2 5,6"))
        << "a release outside the control or of another button is no click";

    log.clear();
    send(QEvent::MouseButtonPress, {5, 6}, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, {5, 6}, Qt::LeftButton, Qt::NoButton);
    send(QEvent::MouseButtonDblClick, {5, 6}, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, {5, 6}, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(log.join('|'),
              QStringLiteral("down 1 0 5,6|click|up 1 5,6|dblclick|down 1 0 5,6|up 1 5,6"));
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Frame edges and the parent's background in colours that tell them apart.
    QPalette palette = QApplication::palette();
    palette.setColor(QPalette::Dark, ShadowGrey);
    palette.setColor(QPalette::Light, HighlightWhite);
    palette.setColor(QPalette::Window, WindowGrey);
    QApplication::setPalette(palette);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
