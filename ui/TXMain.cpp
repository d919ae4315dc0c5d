#include "TXMain.h"

#include "Cmp_LedDisplay.h"
#include "Settings.h"
#include "StrictBlockDetector.h"
#include "SystemColors.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QShowEvent>
#include <QStatusBar>

TMainWrenForm *MainWrenForm = nullptr;

static void InitResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace {

// One wave-in notification on its way from the driver's thread to the window.
class TWaveMessageEvent : public QEvent
{
  public:
    static QEvent::Type EventType()
    {
        static const auto Type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return Type;
    }

    TWaveMessageEvent(UINT Msg, HWAVEIN Handle, WAVEHDR *Header)
        : QEvent(EventType()), Msg(Msg), Handle(Handle), Header(Header)
    {
    }

    const UINT Msg;
    const HWAVEIN Handle;
    WAVEHDR *const Header;
};

QFont PixelFont(const char *Family, int PixelHeight)
{
    QFont Font(QString::fromLatin1(Family));
    Font.setPixelSize(PixelHeight);
    return Font;
}

QPalette ColouredPalette(QPalette Palette, const QColor &Background, const QColor &Text)
{
    for (auto Role : {QPalette::Window, QPalette::Base})
        Palette.setColor(Role, Background);
    for (auto Role : {QPalette::WindowText, QPalette::Text})
        Palette.setColor(Role, Text);
    return Palette;
}

// The toolkit's own face for the controls that do not take the window's black.
QPalette FacePalette()
{
    return ColouredPalette(QApplication::palette(), clBtnFace(), clWindowText());
}

} // namespace

TMainWrenForm::TMainWrenForm(TDetectorKind Detector, QWidget *Parent)
    : QWidget(Parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      TCaptureControl(Spine, *this), Spine(*this)
{
    MainWrenForm = this;
    if (Detector == dkStrict) {
        StrictDetector = std::make_unique<TStrictBlockDetector>();
        Spine.UseDetector(StrictDetector.get());
    }
    CreateControls();
    FormCreate();
}

TMainWrenForm::~TMainWrenForm()
{
    FormDestroy();
    if (MainWrenForm == this)
        MainWrenForm = nullptr;
}

// The design: every position, size, caption, colour and font of the window.
void TMainWrenForm::CreateControls()
{
    InitResources();
    setObjectName("MainWrenForm");
    setWindowTitle(" DTMF");
    setFixedSize(419, 87);
    setFont(PixelFont("MS Sans Serif", 11));
    setPalette(ColouredPalette(palette(), clBlack, clWindowText()));
    setAutoFillBackground(true);

    EditDTMF = new QLineEdit(this);
    EditDTMF->setObjectName("EditDTMF");
    EditDTMF->setGeometry(5, 2, 404, 19);
    EditDTMF->setFrame(false);
    EditDTMF->setFont(PixelFont("Courier", 11));
    EditDTMF->setPalette(ColouredPalette(EditDTMF->palette(), clBlack, clLime));
    EditDTMF->setAccessibleName("Decoded digits");
    EditDTMF->setAccessibleDescription(
        "The keypad symbols heard on the input, the latest on the right; the last 48 are kept");

    LedDisplay = new TLedDisplay(this);
    LedDisplay->setObjectName("LedDisplay");
    LedDisplay->setGeometry(11, 33, 150, 8);
    LedDisplay->setOrientation(TLedDisplay::loHorizontal);
    LedDisplay->setCtl3D(false);
    LedDisplay->setSpacing(0);
    LedDisplay->setMax(32767);
    LedDisplay->setPosition(0);
    LedDisplay->setBlockACount(35);
    LedDisplay->setBlockBCount(9);
    LedDisplay->setBlockCCount(6);
    LedDisplay->setActiveColor1(clLime);
    LedDisplay->setActiveColor2(clYellow);
    LedDisplay->setActiveColor3(clRed);
    LedDisplay->setDeadColor1(clBtnShadow());
    LedDisplay->setDeadColor2(clBtnShadow());
    LedDisplay->setDeadColor3(clBtnShadow());
    LedDisplay->setAccessibleName("Input level");
    LedDisplay->setAccessibleDescription("The peak level of the input, as a bar of 50 lights");

    ImgScale = new QLabel(this);
    ImgScale->setObjectName("ImgScale");
    ImgScale->setPixmap(QPixmap(":/scale.xpm"));
    ImgScale->setGeometry(12, 41, 164, 12);
    ImgScale->setAccessibleName("Level scale");
    ImgScale->setAccessibleDescription(
        "Marks under the input level at -24, -12, -6, -3, -1 and 0 dB of full scale");

    SpeedButton1 = new QPushButton("Clear", this);
    SpeedButton1->setObjectName("SpeedButton1");
    SpeedButton1->setGeometry(256, 32, 73, 25);
    SpeedButton1->setFocusPolicy(Qt::NoFocus);
    SpeedButton1->setPalette(FacePalette());
    connect(SpeedButton1, &QPushButton::clicked, this, &TMainWrenForm::SpeedButton1Click);

    SpeedButton2 = new QPushButton("Settings", this);
    SpeedButton2->setObjectName("SpeedButton2");
    SpeedButton2->setGeometry(336, 32, 73, 25);
    SpeedButton2->setFocusPolicy(Qt::NoFocus);
    SpeedButton2->setPalette(FacePalette());
    connect(SpeedButton2, &QPushButton::clicked, this, &TMainWrenForm::SpeedButton2Click);

    // The buttons never take the focus, so their keys belong to the window and
    // work while the digit line has it; a line edit uses neither.
    AddShortcut(SpeedButton1, QKeySequence(Qt::CTRL | Qt::Key_L), "Empty the digit line");
    AddShortcut(SpeedButton2, QKeySequence(Qt::CTRL | Qt::Key_Comma), "Choose the input device");

    // One sunken, left-aligned panel that reaches the right edge.
    StatusBar = new QStatusBar(this);
    StatusBar->setObjectName("StatusBar");
    StatusBar->setGeometry(0, 66, 419, 21);
    StatusBar->setSizeGripEnabled(false);
    StatusBar->setPalette(FacePalette());
    StatusBar->setAutoFillBackground(true);
    StatusPanel = new QLabel(StatusBar);
    StatusPanel->setObjectName("StatusPanel");
    StatusPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    StatusPanel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    StatusPanel->setMinimumWidth(190);
    StatusBar->addWidget(StatusPanel, 1);
}

void TMainWrenForm::AddShortcut(QPushButton *Button, const QKeySequence &Key, const QString &Tip)
{
    auto *Shortcut = new QShortcut(Key, this);
    connect(Shortcut, &QShortcut::activated, Button, &QPushButton::click);
    Button->setToolTip(Tip + " (" + Key.toString(QKeySequence::NativeText) + ")");
}

void TMainWrenForm::FormCreate()
{
    FillCaptureFormat(CaptureFormat);
    ClearCaptureState();
    CentreOnScreen();
}

void TMainWrenForm::CentreOnScreen()
{
    const QRect Screen = screen()->geometry();
    setGeometry(QRect(Screen.center() - QPoint(width() / 2, height() / 2), size()));
}

void TMainWrenForm::FormShow()
{
    InputDeviceIndex = 0;
    if (SettingsForm)
        SettingsForm->ApplySettings(true);
    SwitchCapture(true);
    const int Room = screen()->geometry().height() - 30;
    if (Room < height())
        setFixedHeight(Room);
}

void TMainWrenForm::FormCloseQuery()
{
    if (Running) {
        SwitchCapture(false);
        ProcessMessages();
    }
    WaitWhileRunning();
}

void TMainWrenForm::FormDestroy()
{
    CloseHandles();
}

void TMainWrenForm::SpeedButton1Click()
{
    EditDTMF->clear();
}

void TMainWrenForm::SpeedButton2Click()
{
    if (SettingsForm) {
        SettingsForm->show();
        SettingsForm->raise();
        SettingsForm->activateWindow();
    }
}

void TMainWrenForm::PostWaveMessage(UINT Msg, HWAVEIN Handle, WAVEHDR *Header)
{
    QCoreApplication::postEvent(this, new TWaveMessageEvent(Msg, Handle, Header));
}

bool TMainWrenForm::event(QEvent *Event)
{
    if (Event->type() == TWaveMessageEvent::EventType()) {
        const auto *Message = static_cast<TWaveMessageEvent *>(Event);
        HandleWaveMessage(Message->Msg, Message->Handle, Message->Header);
    }
    return QWidget::event(Event);
}

void TMainWrenForm::showEvent(QShowEvent *Event)
{
    QWidget::showEvent(Event);
    if (!Event->spontaneous())
        FormShow();
}

void TMainWrenForm::closeEvent(QCloseEvent *Event)
{
    FormCloseQuery();
    Event->accept();
    emit Closed();
}

void TMainWrenForm::ShowWarning(const std::string &Text)
{
    QMessageBox Box(QMessageBox::Warning, "Warning", QString::fromStdString(Text),
                    QMessageBox::NoButton);
    QPushButton *Ok = Box.addButton("OK", QMessageBox::AcceptRole);
    Box.setDefaultButton(Ok);
    Box.setEscapeButton(Ok);
    Box.setWindowModality(Qt::ApplicationModal);
    // The settings window stays on top: a warning that did not would open
    // hidden under it, and the program would seem frozen.
    Box.setWindowFlag(Qt::WindowStaysOnTopHint);
    Box.exec();
}

void TMainWrenForm::ProcessMessages()
{
    QCoreApplication::processEvents();
}

void TMainWrenForm::SetMeterPosition(int32_t Position)
{
    LedDisplay->setPosition(Position);
}

std::string TMainWrenForm::Text() const
{
    return EditDTMF->text().toStdString();
}

void TMainWrenForm::SetText(const std::string &Text)
{
    EditDTMF->setText(QString::fromStdString(Text));
}

size_t TMainWrenForm::Length() const
{
    // A character outside the basic plane takes two UTF-16 units; a lone
    // surrogate becomes one character of the UTF-8 text.
    const QString Line = EditDTMF->text();
    size_t Count = 0;
    for (qsizetype i = 0; i < Line.size(); ++i)
        Count += !(Line[i].isLowSurrogate() && i > 0 && Line[i - 1].isHighSurrogate());
    return Count;
}

QString TMainWrenForm::StatusText() const
{
    return StatusPanel->text();
}

void TMainWrenForm::SetStatusText(const QString &Text)
{
    StatusPanel->setText(Text);
}
