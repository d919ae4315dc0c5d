// Cost of one Position change of the level meter as the main window uses it (a 150 x 8 bar of 50
// cells), drawn on a shown window of the offscreen platform, against an unchanged Position and a
// repaint of the whole control.
#include "Cmp_LedDisplay.h"
#include "MainWindowMeter.h"
#include "SystemColors.h"

#include <QApplication>
#include <QPalette>
#include <QWidget>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

struct MainWindowMeter
{
    MainWindowMeter()
    {
        Window.resize(419, 87);
        QPalette palette = Window.palette();
        palette.setColor(QPalette::Window, clBlack);
        Window.setPalette(palette);
        Led = new TLedDisplay(&Window);
        ConfigureAsMainWindowMeter(*Led);
        Window.show();
        QApplication::processEvents();
    }

    QWidget Window;
    TLedDisplay *Led;
};

void PositionChange(benchmark::State &state)
{
    MainWindowMeter meter;
    int position = 0;
    for (auto _ : state) {
        // Peaks that light different numbers of cells, as a speaking voice would.
        position = position == 16384 ? 28000 : 16384;
        meter.Led->setPosition(position);
    }
    QApplication::processEvents();
}
BENCHMARK(PositionChange)->Unit(benchmark::kMicrosecond);

void PositionUnchanged(benchmark::State &state)
{
    MainWindowMeter meter;
    meter.Led->setPosition(16384);
    for (auto _ : state)
        meter.Led->setPosition(16384);
}
BENCHMARK(PositionUnchanged)->Unit(benchmark::kMicrosecond);

void WholeControlRepaint(benchmark::State &state)
{
    MainWindowMeter meter;
    for (auto _ : state)
        meter.Led->repaint();
}
BENCHMARK(WholeControlRepaint)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
