// The window program: the main window records from device 0 from its first
// showing until it is closed; closing it ends the program.
#include "AudioLogCategory.h"
#include "Settings.h"
#include "TXMain.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    QApplication App(argc, argv);
    InstallAudioLog();
    QApplication::setApplicationName("DTMF");
    QApplication::setDesktopFileName("dtmf");
    QIcon Icon;
    for (int Size : {16, 32, 48, 64, 128, 256})
        Icon.addFile(QString(":/icons/dtmf-%1.png").arg(Size), QSize(Size, Size));
    QApplication::setWindowIcon(Icon);
    // A warning shown before the main window, or the settings window left
    // open, must not decide when the program ends: only the main window does.
    QApplication::setQuitOnLastWindowClosed(false);

    auto *Main = new TMainWrenForm;
    auto *Settings = new TSettingsForm;
    QObject::connect(Main, &TMainWrenForm::Closed, &App, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    Main->show();
    App.exec();

    delete Settings;
    delete Main;
    return 0;
}
