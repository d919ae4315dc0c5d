#pragma once

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QWidget>

class QPainter;

#include <cstdint>

// A row or column of LED cells in three colour zones showing Position against Max. Zone A (colours
// 1) holds BlockACount cells, zone B (colours 2) BlockBCount and zone C (colours 3) BlockCCount.
// Cells are drawn onto a canvas image of the control's size; a new Position repaints only the
// cells, at once, so the meter can be fed many times a second. The background between the cells is
// the control's background colour, inherited from its parent's palette.
class TLedDisplay : public QWidget
{
    Q_OBJECT

  public:
    enum TLedDisplayOrientation
    {
        loHorizontal,
        loVertical
    };
    Q_ENUM(TLedDisplayOrientation)

  private:
    Q_PROPERTY(TLedDisplayOrientation Orientation READ Orientation WRITE setOrientation)
    Q_PROPERTY(bool Ctl3D READ Ctl3D WRITE setCtl3D)
    Q_PROPERTY(int Spacing READ Spacing WRITE setSpacing)
    Q_PROPERTY(int Max READ Max WRITE setMax)
    Q_PROPERTY(int Position READ Position WRITE setPosition)
    Q_PROPERTY(int BlockACount READ BlockACount WRITE setBlockACount)
    Q_PROPERTY(int BlockBCount READ BlockBCount WRITE setBlockBCount)
    Q_PROPERTY(int BlockCCount READ BlockCCount WRITE setBlockCCount)
    Q_PROPERTY(QColor ActiveColor1 READ ActiveColor1 WRITE setActiveColor1)
    Q_PROPERTY(QColor ActiveColor2 READ ActiveColor2 WRITE setActiveColor2)
    Q_PROPERTY(QColor ActiveColor3 READ ActiveColor3 WRITE setActiveColor3)
    Q_PROPERTY(QColor DeadColor1 READ DeadColor1 WRITE setDeadColor1)
    Q_PROPERTY(QColor DeadColor2 READ DeadColor2 WRITE setDeadColor2)
    Q_PROPERTY(QColor DeadColor3 READ DeadColor3 WRITE setDeadColor3)

  public:
    explicit TLedDisplay(QWidget *parent = nullptr);

    TLedDisplayOrientation Orientation() const { return FOrientation; }
    bool Ctl3D() const { return FCtl3D; }
    int Spacing() const { return FSpacing; }
    int Max() const { return FMax; }
    int Position() const { return FPosition; }
    int BlockACount() const { return FBlockACount; }
    int BlockBCount() const { return FBlockBCount; }
    int BlockCCount() const { return FBlockCCount; }
    QColor ActiveColor1() const { return FActiveColor1; }
    QColor ActiveColor2() const { return FActiveColor2; }
    QColor ActiveColor3() const { return FActiveColor3; }
    QColor DeadColor1() const { return FDeadColor1; }
    QColor DeadColor2() const { return FDeadColor2; }
    QColor DeadColor3() const { return FDeadColor3; }

    // Layout setters: a changed value repaints the whole control.
    void setOrientation(TLedDisplayOrientation value);
    void setCtl3D(bool value);
    void setSpacing(int value);
    void setMax(int value);
    // A changed position repaints only the cells.
    void setPosition(int value);
    // A count of 0 or less is stored as 1.
    void setBlockACount(int value);
    void setBlockBCount(int value);
    void setBlockCCount(int value);
    // Colours always repaint the cells, even when unchanged.
    void setActiveColor1(const QColor &value);
    void setActiveColor2(const QColor &value);
    void setActiveColor3(const QColor &value);
    void setDeadColor1(const QColor &value);
    void setDeadColor2(const QColor &value);
    void setDeadColor3(const QColor &value);

    // Paints every LED cell onto the canvas and puts them on the screen before returning.
    void PaintLEDs();

    // The picture the control shows; what is drawn on it appears at the next paint.
    QImage &Canvas() { return FCanvas; }
    const QImage &Canvas() const { return FCanvas; }

    QSize sizeHint() const override;

  signals:
    void OnClick();
    void OnDblClick();
    void OnMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint pos);
    void OnMouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, QPoint pos);
    void OnMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint pos);

  protected:
    // The full paint of the canvas: background, the sunken cell frames when Ctl3D is set, the LEDs.
    virtual void Paint();

    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

  private:
    // What the cell arithmetic needs, read once per paint.
    struct Layout
    {
        std::int64_t total; // cells in all three zones
        std::int64_t width;
        std::int64_t height;
        std::int64_t spacing;
        bool horizontal;
    };

    Layout currentLayout() const;
    std::int64_t litCells(std::int64_t total) const;
    static QRect ledRect(const Layout &layout, std::int64_t k);
    static QRect frameRect(const Layout &layout, std::int64_t b);
    void paintZone(QPainter &painter, const Layout &layout, std::int64_t first, int count,
                   std::int64_t lit, const QColor &active, const QColor &dead, QRect &painted);
    void drawSunkenFrame(QPainter &painter, const QRect &frame);
    void prepareCanvas();
    void repaintAll();
    void setBlockCount(int &count, int value);
    void setColor(QColor &color, const QColor &value);

    TLedDisplayOrientation FOrientation = loVertical;
    bool FCtl3D = true;
    int FSpacing = 2;
    int FMax = 10;
    int FPosition = 0;
    int FBlockACount = 7;
    int FBlockBCount = 3;
    int FBlockCCount = 1;
    QColor FActiveColor1;
    QColor FActiveColor2;
    QColor FActiveColor3;
    QColor FDeadColor1;
    QColor FDeadColor2;
    QColor FDeadColor3;

    QImage FCanvas;
    QColor FBrush;             // the canvas brush: the fill colour last chosen
    bool FCanvasStale = true;  // the canvas needs a full paint before it is shown
    bool FPainting = false;    // inside Paint: the paint event puts the canvas on the screen
    bool FShowingLeds = false; // inside PaintLEDs' own repaint: the canvas is already up to date
    bool FPressed = false;     // the left button went down on the control
};
