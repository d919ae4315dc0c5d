#include "Cmp_LedDisplay.h"

#include "SystemColors.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

namespace {

__extension__ typedef __int128 Wide;

// Edges far outside any widget are pulled in before they become a QRect; the painter clips anyway.
int clampEdge(std::int64_t edge)
{
    constexpr std::int64_t limit = 1 << 24;
    return static_cast<int>(std::clamp(edge, -limit, limit));
}

// A rectangle from its edges, right and bottom exclusive; null when it holds no pixel.
QRect edgesRect(std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom)
{
    if (right <= left || bottom <= top)
        return QRect();
    return QRect(QPoint(clampEdge(left), clampEdge(top)),
                 QPoint(clampEdge(right - 1), clampEdge(bottom - 1)));
}

void fillArea(QPainter &painter, const QRect &area, const QColor &color)
{
    if (area.isValid())
        painter.fillRect(area, color);
}

} // namespace

TLedDisplay::TLedDisplay(QWidget *parent)
    : QWidget(parent), FActiveColor1(clLime), FActiveColor2(clYellow), FActiveColor3(clRed),
      FDeadColor1(clGreen), FDeadColor2(clOlive), FDeadColor3(clMaroon), FBrush(Qt::white)
{
    // Paint covers every pixel, so Qt need not clear the background first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    resize(30, 200);
}

QSize TLedDisplay::sizeHint() const
{
    return QSize(30, 200);
}

void TLedDisplay::setOrientation(TLedDisplayOrientation value)
{
    if (value == FOrientation)
        return;
    FOrientation = value;
    repaintAll();
}

void TLedDisplay::setCtl3D(bool value)
{
    if (value == FCtl3D)
        return;
    FCtl3D = value;
    repaintAll();
}

void TLedDisplay::setSpacing(int value)
{
    if (value == FSpacing)
        return;
    FSpacing = value;
    repaintAll();
}

void TLedDisplay::setMax(int value)
{
    if (value == FMax)
        return;
    FMax = value;
    repaintAll();
}

void TLedDisplay::setPosition(int value)
{
    if (value == FPosition)
        return;
    FPosition = value;
    PaintLEDs();
}

void TLedDisplay::setBlockACount(int value)
{
    setBlockCount(FBlockACount, value);
}

void TLedDisplay::setBlockBCount(int value)
{
    setBlockCount(FBlockBCount, value);
}

void TLedDisplay::setBlockCCount(int value)
{
    setBlockCount(FBlockCCount, value);
}

void TLedDisplay::setActiveColor1(const QColor &value)
{
    setColor(FActiveColor1, value);
}

void TLedDisplay::setActiveColor2(const QColor &value)
{
    setColor(FActiveColor2, value);
}

void TLedDisplay::setActiveColor3(const QColor &value)
{
    setColor(FActiveColor3, value);
}

void TLedDisplay::setDeadColor1(const QColor &value)
{
    setColor(FDeadColor1, value);
}

void TLedDisplay::setDeadColor2(const QColor &value)
{
    setColor(FDeadColor2, value);
}

void TLedDisplay::setDeadColor3(const QColor &value)
{
    setColor(FDeadColor3, value);
}

void TLedDisplay::setBlockCount(int &count, int value)
{
    // The comparison is with the value as given, so assigning 0 over a stored 1 still repaints.
    if (value == count)
        return;
    count = value > 0 ? value : 1;
    repaintAll();
}

void TLedDisplay::setColor(QColor &color, const QColor &value)
{
    color = value;
    PaintLEDs();
}

void TLedDisplay::PaintLEDs()
{
    if (FMax == 0)
        setMax(1);
    prepareCanvas();
    if (FCanvas.isNull())
        return;

    const Layout layout = currentLayout();
    const std::int64_t lit = litCells(layout.total);
    const std::int64_t firstB = 1 + std::int64_t(FBlockACount);
    const std::int64_t firstC = firstB + FBlockBCount;
    QRect painted;
    {
        QPainter painter(&FCanvas);
        paintZone(painter, layout, 1, FBlockACount, lit, FActiveColor1, FDeadColor1, painted);
        paintZone(painter, layout, firstB, FBlockBCount, lit, FActiveColor2, FDeadColor2, painted);
        paintZone(painter, layout, firstC, FBlockCCount, lit, FActiveColor3, FDeadColor3, painted);
    }
    if (FPainting || painted.isEmpty())
        return;
    FShowingLeds = true;
    repaint(painted);
    FShowingLeds = false;
}

void TLedDisplay::Paint()
{
    prepareCanvas();
    FCanvasStale = false;
    if (FCanvas.isNull())
        return;
    {
        QPainter painter(&FCanvas);
        painter.fillRect(rect(), palette().color(backgroundRole()));
        if (FCtl3D) {
            const Layout layout = currentLayout();
            for (std::int64_t b = 0; b < layout.total; ++b)
                drawSunkenFrame(painter, frameRect(layout, b));
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
    QPainter painter(this);
    painter.drawImage(0, 0, FCanvas);
}

void TLedDisplay::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        FCanvasStale = true;
    QWidget::changeEvent(event);
}

void TLedDisplay::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        FPressed = true;
    emit OnMouseDown(event->button(), event->modifiers(), event->position().toPoint());
}

void TLedDisplay::mouseDoubleClickEvent(QMouseEvent *event)
{
    // The release that ends a double click is no click of its own.
    FPressed = false;
    if (event->button() == Qt::LeftButton)
        emit OnDblClick();
    emit OnMouseDown(event->button(), event->modifiers(), event->position().toPoint());
}

void TLedDisplay::mouseMoveEvent(QMouseEvent *event)
{
    emit OnMouseMove(event->buttons(), event->modifiers(), event->position().toPoint());
}

void TLedDisplay::mouseReleaseEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton && FPressed) {
        FPressed = false;
        if (rect().contains(pos))
            emit OnClick();
    }
    emit OnMouseUp(event->button(), event->modifiers(), pos);
}

TLedDisplay::Layout TLedDisplay::currentLayout() const
{
    Layout layout;
    layout.total = std::int64_t(FBlockACount) + FBlockBCount + FBlockCCount;
    layout.width = width();
    layout.height = height();
    layout.spacing = FSpacing;
    layout.horizontal = FOrientation == loHorizontal;
    return layout;
}

std::int64_t TLedDisplay::litCells(std::int64_t total) const
{
    // Wide enough that a large Position lights every cell instead of wrapping to a negative count.
    const Wide lit = Wide(FPosition) * total / FMax;
    if (lit > total)
        return total;
    return lit < 0 ? 0 : static_cast<std::int64_t>(lit);
}

QRect TLedDisplay::ledRect(const Layout &layout, std::int64_t k)
{
    const std::int64_t t = layout.total, w = layout.width, h = layout.height, s = layout.spacing;
    if (layout.horizontal) {
        const std::int64_t left = (k - 1) * w / t + 1;
        return edgesRect(left, 2, left + w / t - s - 2, h - 2);
    }
    const std::int64_t top = (t - k) * h / t + 1;
    return edgesRect(2, top, w - 2, top + h / t - s - 2);
}

QRect TLedDisplay::frameRect(const Layout &layout, std::int64_t b)
{
    const std::int64_t t = layout.total, w = layout.width, h = layout.height, s = layout.spacing;
    if (layout.horizontal) {
        const std::int64_t left = (t - b - 1) * w / t;
        return edgesRect(left, 1, left + w / t - s, h - 1);
    }
    const std::int64_t top = b * h / t;
    return edgesRect(1, top, w - 1, top + h / t - s);
}

void TLedDisplay::paintZone(QPainter &painter, const Layout &layout, std::int64_t first, int count,
                            std::int64_t lit, const QColor &active, const QColor &dead,
                            QRect &painted)
{
    for (std::int64_t k = first; k < first + count; ++k) {
        FBrush = k <= lit ? active : dead;
        const QRect cell = ledRect(layout, k);
        if (cell.isNull())
            continue;
        painter.fillRect(cell, FBrush);
        painted |= cell;
    }
}

// A one-pixel sunken frame: shadow along the top and left, highlight along the bottom and right
// (the highlight owns the top-right and bottom-left corners); the inside takes the current brush.
void TLedDisplay::drawSunkenFrame(QPainter &painter, const QRect &frame)
{
    if (frame.isNull())
        return;
    const QColor shadow = clBtnShadow();
    const QColor highlight = clBtnHighlight();
    const int l = frame.left(), t = frame.top(), r = frame.right(), b = frame.bottom();
    fillArea(painter, QRect(QPoint(l, t), QPoint(r - 1, t)), shadow);
    fillArea(painter, QRect(QPoint(l, t), QPoint(l, b - 1)), shadow);
    fillArea(painter, QRect(QPoint(r, t), QPoint(r, b)), highlight);
    fillArea(painter, QRect(QPoint(l, b), QPoint(r, b)), highlight);
    fillArea(painter, frame.adjusted(1, 1, -1, -1), FBrush);
}

void TLedDisplay::prepareCanvas()
{
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * ratio).toSize();
    if (FCanvas.size() == pixels && FCanvas.devicePixelRatio() == ratio)
        return;
    FCanvasStale = true;
    if (pixels.isEmpty()) {
        FCanvas = QImage();
        return;
    }
    FCanvas = QImage(pixels, QImage::Format_RGB32);
    FCanvas.setDevicePixelRatio(ratio);
    FCanvas.fill(palette().color(backgroundRole()));
}

void TLedDisplay::repaintAll()
{
    FCanvasStale = true;
    // Inside a paint Qt cannot paint again at once; the whole control is drawn on the next pass.
    if (FPainting)
        update();
    else
        repaint();
}
