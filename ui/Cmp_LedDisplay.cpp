#include "Cmp_LedDisplay.h"

#include "LedDisplayAccessible.h"
#include "SystemColors.h"

#include <QAccessible>
#include <QEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

namespace {

__extension__ typedef __int128 TWide;

// Edges far outside any widget are pulled in before they become a QRect; the painter clips anyway.
int ClampEdge(std::int64_t Edge)
{
    constexpr std::int64_t Limit = 1 << 24;
    return static_cast<int>(std::clamp(Edge, -Limit, Limit));
}

// A rectangle from its edges, right and bottom exclusive; null when it holds no pixel.
QRect EdgesRect(std::int64_t Left, std::int64_t Top, std::int64_t Right, std::int64_t Bottom)
{
    if (Right <= Left || Bottom <= Top)
        return QRect();
    return QRect(QPoint(ClampEdge(Left), ClampEdge(Top)),
                 QPoint(ClampEdge(Right - 1), ClampEdge(Bottom - 1)));
}

void FillArea(QPainter &Painter, const QRect &Area, const QColor &Color)
{
    if (Area.isValid())
        Painter.fillRect(Area, Color);
}

} // namespace

TLedDisplay::TLedDisplay(QWidget *Parent)
    : QWidget(Parent), FActiveColor1(clLime), FActiveColor2(clYellow), FActiveColor3(clRed),
      FDeadColor1(clGreen), FDeadColor2(clOlive), FDeadColor3(clMaroon), FBrush(Qt::white)
{
    // Paint covers every pixel, so Qt need not clear the background first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    resize(30, 200);
    QAccessible::installFactory(TLedDisplayAccessible::Create);
}

QSize TLedDisplay::sizeHint() const
{
    return QSize(30, 200);
}

void TLedDisplay::setOrientation(TLedDisplayOrientation Value)
{
    if (Value == FOrientation)
        return;
    FOrientation = Value;
    RepaintAll();
}

void TLedDisplay::setCtl3D(bool Value)
{
    if (Value == FCtl3D)
        return;
    FCtl3D = Value;
    RepaintAll();
}

void TLedDisplay::setSpacing(int Value)
{
    if (Value == FSpacing)
        return;
    FSpacing = Value;
    RepaintAll();
}

void TLedDisplay::setMax(int Value)
{
    if (Value == FMax)
        return;
    FMax = Value;
    RepaintAll();
}

void TLedDisplay::setPosition(int Value)
{
    if (Value == FPosition)
        return;
    const int Before = PercentOfMax();
    FPosition = Value;
    PaintLEDs();
    if (QAccessible::isActive() && PercentOfMax() != Before) {
        QAccessibleValueChangeEvent Changed(this, PercentOfMax());
        QAccessible::updateAccessibility(&Changed);
    }
}

int TLedDisplay::PercentOfMax() const
{
    const TWide Percent = TWide(FPosition) * 100 / std::max(FMax, 1);
    return static_cast<int>(std::clamp<TWide>(Percent, 0, 100));
}

void TLedDisplay::setBlockACount(int Value)
{
    SetBlockCount(FBlockACount, Value);
}

void TLedDisplay::setBlockBCount(int Value)
{
    SetBlockCount(FBlockBCount, Value);
}

void TLedDisplay::setBlockCCount(int Value)
{
    SetBlockCount(FBlockCCount, Value);
}

void TLedDisplay::setActiveColor1(const QColor &Value)
{
    SetColor(FActiveColor1, Value);
}

void TLedDisplay::setActiveColor2(const QColor &Value)
{
    SetColor(FActiveColor2, Value);
}

void TLedDisplay::setActiveColor3(const QColor &Value)
{
    SetColor(FActiveColor3, Value);
}

void TLedDisplay::setDeadColor1(const QColor &Value)
{
    SetColor(FDeadColor1, Value);
}

void TLedDisplay::setDeadColor2(const QColor &Value)
{
    SetColor(FDeadColor2, Value);
}

void TLedDisplay::setDeadColor3(const QColor &Value)
{
    SetColor(FDeadColor3, Value);
}

void TLedDisplay::SetBlockCount(int &Count, int Value)
{
    // The comparison is with the value as given, so assigning 0 over a stored 1 still repaints.
    if (Value == Count)
        return;
    Count = Value > 0 ? Value : 1;
    RepaintAll();
}

void TLedDisplay::SetColor(QColor &Color, const QColor &Value)
{
    Color = Value;
    PaintLEDs();
}

void TLedDisplay::PaintLEDs()
{
    if (FMax == 0)
        setMax(1);
    PrepareCanvas();
    if (FCanvas.isNull())
        return;

    const TLayout Layout = CurrentLayout();
    const std::int64_t Lit = LitCells(Layout.Total);
    const std::int64_t FirstB = 1 + std::int64_t(FBlockACount);
    const std::int64_t FirstC = FirstB + FBlockBCount;
    QRect Painted;
    {
        QPainter Painter(&FCanvas);
        PaintZone(Painter, Layout, 1, FBlockACount, Lit, FActiveColor1, FDeadColor1, Painted);
        PaintZone(Painter, Layout, FirstB, FBlockBCount, Lit, FActiveColor2, FDeadColor2, Painted);
        PaintZone(Painter, Layout, FirstC, FBlockCCount, Lit, FActiveColor3, FDeadColor3, Painted);
    }
    if (FPainting || Painted.isEmpty())
        return;
    FShowingLeds = true;
    repaint(Painted);
    FShowingLeds = false;
}

void TLedDisplay::Paint()
{
    PrepareCanvas();
    FCanvasStale = false;
    if (FCanvas.isNull())
        return;
    {
        QPainter Painter(&FCanvas);
        Painter.fillRect(rect(), palette().color(backgroundRole()));
        if (FCtl3D) {
            const TLayout Layout = CurrentLayout();
            for (std::int64_t b = 0; b < Layout.Total; ++b)
                DrawSunkenFrame(Painter, FrameRect(Layout, b));
        }
    }
    PaintLEDs();
}

void TLedDisplay::paintEvent(QPaintEvent *)
{
    // A repaint that PaintLEDs asked for only carries the cells it has just drawn; any other paint
    // (exposure, resize, a changed layout) draws the whole canvas first.
    if (!FShowingLeds || FCanvasStale) {
        FPainting = true;
        Paint();
        FPainting = false;
    }
    QPainter Painter(this);
    Painter.drawImage(0, 0, FCanvas);
}

void TLedDisplay::changeEvent(QEvent *Event)
{
    if (Event->type() == QEvent::PaletteChange)
        FCanvasStale = true;
    QWidget::changeEvent(Event);
}

void TLedDisplay::mousePressEvent(QMouseEvent *Event)
{
    if (Event->button() == Qt::LeftButton)
        FPressed = true;
    emit OnMouseDown(Event->button(), Event->modifiers(), Event->position().toPoint());
}

void TLedDisplay::mouseDoubleClickEvent(QMouseEvent *Event)
{
    // The release that ends a double click is no click of its own.
    FPressed = false;
    if (Event->button() == Qt::LeftButton)
        emit OnDblClick();
    emit OnMouseDown(Event->button(), Event->modifiers(), Event->position().toPoint());
}

void TLedDisplay::mouseMoveEvent(QMouseEvent *Event)
{
    emit OnMouseMove(Event->buttons(), Event->modifiers(), Event->position().toPoint());
}

void TLedDisplay::mouseReleaseEvent(QMouseEvent *Event)
{
    const QPoint Pos = Event->position().toPoint();
    if (Event->button() == Qt::LeftButton && FPressed) {
        FPressed = false;
        if (rect().contains(Pos))
            emit OnClick();
    }
    emit OnMouseUp(Event->button(), Event->modifiers(), Pos);
}

TLedDisplay::TLayout TLedDisplay::CurrentLayout() const
{
    TLayout Layout;
    Layout.Total = std::int64_t(FBlockACount) + FBlockBCount + FBlockCCount;
    Layout.Width = width();
    Layout.Height = height();
    Layout.Spacing = FSpacing;
    Layout.Horizontal = FOrientation == loHorizontal;
    return Layout;
}

std::int64_t TLedDisplay::LitCells(std::int64_t Total) const
{
    // Wide enough that a large Position lights every cell instead of wrapping to a negative count.
    const TWide Lit = TWide(FPosition) * Total / FMax;
    if (Lit > Total)
        return Total;
    return Lit < 0 ? 0 : static_cast<std::int64_t>(Lit);
}

QRect TLedDisplay::LedRect(const TLayout &Layout, std::int64_t k)
{
    const std::int64_t T = Layout.Total, W = Layout.Width, H = Layout.Height, S = Layout.Spacing;
    if (Layout.Horizontal) {
        const std::int64_t Left = (k - 1) * W / T + 1;
        return EdgesRect(Left, 2, Left + W / T - S - 2, H - 2);
    }
    const std::int64_t Top = (T - k) * H / T + 1;
    return EdgesRect(2, Top, W - 2, Top + H / T - S - 2);
}

QRect TLedDisplay::FrameRect(const TLayout &Layout, std::int64_t b)
{
    const std::int64_t T = Layout.Total, W = Layout.Width, H = Layout.Height, S = Layout.Spacing;
    if (Layout.Horizontal) {
        const std::int64_t Left = (T - b - 1) * W / T;
        return EdgesRect(Left, 1, Left + W / T - S, H - 1);
    }
    const std::int64_t Top = b * H / T;
    return EdgesRect(1, Top, W - 1, Top + H / T - S);
}

void TLedDisplay::PaintZone(QPainter &Painter, const TLayout &Layout, std::int64_t First, int Count,
                            std::int64_t Lit, const QColor &Active, const QColor &Dead,
                            QRect &Painted)
{
    for (std::int64_t k = First; k < First + Count; ++k) {
        FBrush = k <= Lit ? Active : Dead;
        const QRect Cell = LedRect(Layout, k);
        if (Cell.isNull())
            continue;
        Painter.fillRect(Cell, FBrush);
        Painted |= Cell;
    }
}

// A one-pixel sunken frame: shadow along the top and left, highlight along the bottom and right
// (the highlight owns the top-right and bottom-left corners); the inside takes the current brush.
void TLedDisplay::DrawSunkenFrame(QPainter &Painter, const QRect &Frame)
{
    if (Frame.isNull())
        return;
    const QColor Shadow = clBtnShadow();
    const QColor Highlight = clBtnHighlight();
    const int L = Frame.left(), T = Frame.top(), R = Frame.right(), B = Frame.bottom();
    FillArea(Painter, QRect(QPoint(L, T), QPoint(R - 1, T)), Shadow);
    FillArea(Painter, QRect(QPoint(L, T), QPoint(L, B - 1)), Shadow);
    FillArea(Painter, QRect(QPoint(R, T), QPoint(R, B)), Highlight);
    FillArea(Painter, QRect(QPoint(L, B), QPoint(R, B)), Highlight);
    FillArea(Painter, Frame.adjusted(1, 1, -1, -1), FBrush);
}

void TLedDisplay::PrepareCanvas()
{
    const qreal Ratio = devicePixelRatioF();
    const QSize Pixels = (QSizeF(size()) * Ratio).toSize();
    if (FCanvas.size() == Pixels && FCanvas.devicePixelRatio() == Ratio)
        return;
    FCanvasStale = true;
    if (Pixels.isEmpty()) {
        FCanvas = QImage();
        return;
    }
    FCanvas = QImage(Pixels, QImage::Format_RGB32);
    FCanvas.setDevicePixelRatio(Ratio);
    FCanvas.fill(palette().color(backgroundRole()));
}

void TLedDisplay::RepaintAll()
{
    FCanvasStale = true;
    // Inside a paint Qt cannot paint again at once; the whole control is drawn on the next pass.
    if (FPainting)
        update();
    else
        repaint();
}
