#include "WindowOptions.h"

#include <QCommandLineParser>

#ifndef DTMF_VERSION
#define DTMF_VERSION "unknown"
#endif

namespace {

// The options that QGuiApplication and QApplication read themselves.
const char *const QtValueOptions[] = {
    "platform",    "platformpluginpath", "platformtheme", "plugin",  "qwindowgeometry",
    "qwindowicon", "qwindowtitle",       "session",       "display", "geometry",
    "style",       "stylesheet",         "qmljsdebugger"};
const char *const QtFlagOptions[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

void AddQtOptions(QCommandLineParser &Parser)
{
    for (const char *Name : QtValueOptions) {
        QCommandLineOption Option(QString::fromLatin1(Name), QString(), QStringLiteral("value"));
        Option.setFlags(QCommandLineOption::HiddenFromHelp);
        Parser.addOption(Option);
    }
    for (const char *Name : QtFlagOptions) {
        QCommandLineOption Option(QString::fromLatin1(Name));
        Option.setFlags(QCommandLineOption::HiddenFromHelp);
        Parser.addOption(Option);
    }
}

TWindowOptions Refused(const QString &Reason)
{
    TWindowOptions Options;
    Options.Action = TWindowOptions::waRefuse;
    Options.Text = "dtmf: " + Reason + "; try 'dtmf --help'";
    return Options;
}

} // namespace

TWindowOptions TWindowOptions::Parse(const QStringList &Arguments)
{
    QCommandLineParser Parser;
    // Qt's options come with one dash: -platform is one option, not -p -l ...
    Parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    Parser.setApplicationDescription(
        "Decodes telephone keypad tones from a sound input and shows them in a window.");
    const QCommandLineOption Help({"h", "help", "?"}, "Print this help and exit.");
    const QCommandLineOption Version({"V", "version"}, "Print the version and exit.");
    Parser.addOption(Help);
    Parser.addOption(Version);
    const QCommandLineOption Detector(
        "detector",
        "What decodes the digit line. window (the default): the tone detector, which keys "
        "on two blocks of 21 ms that agree. strict: the strict receiver of dtmf-decode, which "
        "wants a clean tone pair for about 40 ms, ignores speech and music, and shows each "
        "digit while its key is still held.",
        "name", "window");
    Parser.addOption(Detector);
    AddQtOptions(Parser);

    if (!Parser.parse(Arguments)) {
        QString Reason = Parser.errorText();
        if (Reason.endsWith('.'))
            Reason.chop(1);
        return Refused(Reason);
    }
    TWindowOptions Options;
    if (Parser.isSet(Help)) {
        Options.Action = waHelp;
        Options.Text = Parser.helpText();
        return Options;
    }
    if (Parser.isSet(Version)) {
        Options.Action = waVersion;
        Options.Text = QStringLiteral("dtmf (DTMF) " DTMF_VERSION "\n");
        return Options;
    }
    if (!Parser.positionalArguments().isEmpty())
        return Refused("unexpected argument '" + Parser.positionalArguments().first() + "'");
    const QString Name = Parser.value(Detector);
    if (Name == "strict")
        Options.Detector = dkStrict;
    else if (Name != "window")
        return Refused("--detector takes window or strict, not '" + Name + "'");
    return Options;
}
