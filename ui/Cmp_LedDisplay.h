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
    explicit TLedDisplay(QWidget *Parent = nullptr);

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
    void setOrientation(TLedDisplayOrientation Value);
    void setCtl3D(bool Value);
    void setSpacing(int Value);
    void setMax(int Value);
    // A changed position repaints only the cells.
    void setPosition(int Value);
    // A count of 0 or less is stored as 1.
    void setBlockACount(int Value);
    void setBlockBCount(int Value);
    void setBlockCCount(int Value);
    // Colours always repaint the cells, even when unchanged.
    void setActiveColor1(const QColor &Value);
    void setActiveColor2(const QColor &Value);
    void setActiveColor3(const QColor &Value);
    void setDeadColor1(const QColor &Value);
    void setDeadColor2(const QColor &Value);
    void setDeadColor3(const QColor &Value);

    // Paints every LED cell onto the canvas and puts them on the screen before returning.
    void PaintLEDs();

    // Position as a share of Max, in per cent from 0 to 100: the value that
    // assistive technology reads.
    int PercentOfMax() const;

    // The picture the control shows; what is drawn on it appears at the next paint.
    QImage &Canvas() { return FCanvas; }
    const QImage &Canvas() const { return FCanvas; }

    QSize sizeHint() const override;

  signals:
    void OnClick();
    void OnDblClick();
    void OnMouseDown(Qt::MouseButton Button, Qt::KeyboardModifiers Modifiers, QPoint Pos);
    void OnMouseMove(Qt::MouseButtons Buttons, Qt::KeyboardModifiers Modifiers, QPoint Pos);
    void OnMouseUp(Qt::MouseButton Button, Qt::KeyboardModifiers Modifiers, QPoint Pos);

  protected:
    // The full paint of the canvas: background, the sunken cell frames when Ctl3D is set, the LEDs.
    virtual void Paint();

    void paintEvent(QPaintEvent *Event) override;
    void changeEvent(QEvent *Event) override;
    void mousePressEvent(QMouseEvent *Event) override;
    void mouseDoubleClickEvent(QMouseEvent *Event) override;
    void mouseMoveEvent(QMouseEvent *Event) override;
    void mouseReleaseEvent(QMouseEvent *Event) override;

  private:
    // What the cell arithmetic needs, read once per paint.
    struct TLayout
    {
        std::int64_t Total; // cells in all three zones
        std::int64_t Width;
        std::int64_t Height;
        std::int64_t Spacing;
        bool Horizontal;
    };

    TLayout CurrentLayout() const;
    std::int64_t LitCells(std::int64_t Total) const;
    static QRect LedRect(const TLayout &Layout, std::int64_t k);
    static QRect FrameRect(const TLayout &Layout, std::int64_t b);
    void PaintZone(QPainter &Painter, const TLayout &Layout, std::int64_t First, int Count,
                   std::int64_t Lit, const QColor &Active, const QColor &Dead, QRect &Painted);
    void DrawSunkenFrame(QPainter &Painter, const QRect &Frame);
    void PrepareCanvas();
    void RepaintAll();
    void SetBlockCount(int &Count, int Value);
    void SetColor(QColor &Color, const QColor &Value);

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
