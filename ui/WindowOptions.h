// The window program's command line, read before any window or display is
// needed: help and version are answered in the terminal alone.
#pragma once

#include <QString>
#include <QStringList>

// What puts symbols on the digit line.
enum TDetectorKind
{
    dkWindow, // the tone detector and its gate, block by block
    dkStrict  // the strict receiver, each digit as soon as its start is confirmed
};

class TWindowOptions
{
  public:
    enum TAction
    {
        waRun,     // open the window
        waHelp,    // print Text to standard output, exit 0
        waVersion, // print Text to standard output, exit 0
        waRefuse   // print Text, one line, to standard error, exit 2
    };

    // Arguments as the program got them, its name first. Qt's own options
    // (-platform, -style, ...) are let through for the application to take.
    // Help needs a QCoreApplication, for the program's name in its usage line.
    static TWindowOptions Parse(const QStringList &Arguments);

    TAction Action = waRun;
    TDetectorKind Detector = dkWindow;
    QString Text;
};
