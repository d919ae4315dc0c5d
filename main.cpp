// The window program: the main window records from device 0 from its first
// showing until it is closed; closing it ends the program. The command line
// is read first, so that help and version need no display.
#include "AudioLogCategory.h"
#include "Settings.h"
#include "TXMain.h"
#include "WindowOptions.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <memory>

namespace {

TWindowOptions ReadCommandLine(int &argc, char *argv[])
{
    // Help names the program as it was called, which it learns from a
    // QCoreApplication; the window's QApplication comes only after.
    QCoreApplication Terminal(argc, argv);
    return TWindowOptions::Parse(QCoreApplication::arguments());
}

int Answer(const TWindowOptions &Options)
{
    const QByteArray Text = Options.Text.toLocal8Bit();
    if (Options.Action == TWindowOptions::waRefuse) {
        std::fprintf(stderr, "%s\n", Text.constData());
        return 2;
    }
    std::fputs(Text.constData(), stdout);
    return 0;
}

void SetIdentity()
{
    QApplication::setApplicationName("DTMF");
    QApplication::setDesktopFileName(DTMF_APP_ID);
    QIcon Icon;
    for (int Size : {16, 32, 48, 64, 128, 256})
        Icon.addFile(QString(":/icons/dtmf-%1.png").arg(Size), QSize(Size, Size));
    QApplication::setWindowIcon(Icon);
}

} // namespace

int main(int argc, char *argv[])
{
    const TWindowOptions Options = ReadCommandLine(argc, argv);
    if (Options.Action != TWindowOptions::waRun)
        return Answer(Options);

    QApplication App(argc, argv);
    InstallAudioLog();
    SetIdentity();
    // A warning shown before the main window, or the settings window left
    // open, must not decide when the program ends: only the main window does.
    QApplication::setQuitOnLastWindowClosed(false);

    auto Main = std::make_unique<TMainWrenForm>(Options.Detector);
    auto Settings = std::make_unique<TSettingsForm>();
    QObject::connect(Main.get(), &TMainWrenForm::Closed, &App, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    Main->show();
    App.exec();
    return 0;
}
