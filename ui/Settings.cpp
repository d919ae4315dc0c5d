#include "Settings.h"

#include "CaptureControl.h"
#include "DeviceListAccessible.h"
#include "TXMain.h"
#include "WaveIn.h"

#include <QAccessible>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTabWidget>

#include <cstring>

TSettingsForm *SettingsForm = nullptr;

static const QString UnsupportedDevice = QStringLiteral("Unsupported Device");

static QFont SansSerif()
{
    QFont Font(QStringLiteral("MS Sans Serif"));
    Font.setPixelSize(11);
    return Font;
}

TSettingsForm::TSettingsForm(QWidget *Parent)
    : QWidget(Parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::WindowStaysOnTopHint)
{
    SettingsForm = this;
    CreateControls();
    FormCreate();
}

TSettingsForm::~TSettingsForm()
{
    if (SettingsForm == this)
        SettingsForm = nullptr;
}

// The design: every position, size, caption and font of the window.
void TSettingsForm::CreateControls()
{
    setObjectName("SettingsForm");
    setWindowTitle(" Settings");
    setFixedSize(235, 124);
    setFont(SansSerif());
    move(713, 168);

    PageControl = new QTabWidget(this);
    PageControl->setObjectName("PageControl");
    PageControl->setGeometry(0, 0, 235, 124);
    TabSheet2 = new QWidget;
    TabSheet2->setObjectName("TabSheet2");
    PageControl->addTab(TabSheet2, "Devices");
    PageControl->setCurrentWidget(TabSheet2);

    Label2 = new QLabel("Waveform Record (RX) :", TabSheet2);
    Label2->setObjectName("Label2");
    Label2->setGeometry(24, 6, 117, 13);
    // The label sizes itself to its caption, whatever face the font resolves to.
    Label2->adjustSize();

    CbWaveInDevice = new QComboBox(TabSheet2);
    CbWaveInDevice->setObjectName("CbWaveInDevice");
    CbWaveInDevice->setGeometry(8, 28, 201, 21);
    CbWaveInDevice->setEditable(true);
    CbWaveInDevice->setInsertPolicy(QComboBox::NoInsert);
    CbWaveInDevice->setFont(SansSerif());
    connect(CbWaveInDevice, QOverload<int>::of(&QComboBox::activated), this,
            &TSettingsForm::CbWaveInDeviceChange);
    connect(CbWaveInDevice->lineEdit(), &QLineEdit::textEdited, this,
            &TSettingsForm::CbWaveInDeviceChange);
    // Its name is its role; its description, the device it shows.
    QAccessible::installFactory(TDeviceListAccessible::Create);
    CbWaveInDevice->setAccessibleName("Recording device");
    DescribeDevice(CbWaveInDevice->currentText());
    connect(CbWaveInDevice, &QComboBox::currentTextChanged, this, &TSettingsForm::DescribeDevice);
    // The caption has no mnemonic, so the buddy only ties the two for assistive technology.
    Label2->setBuddy(CbWaveInDevice);

    sbOk = new QPushButton("Ok", TabSheet2);
    sbOk->setObjectName("sbOk");
    sbOk->setGeometry(136, 60, 73, 22);
    sbOk->setFocusPolicy(Qt::NoFocus);
    connect(sbOk, &QPushButton::clicked, this, &TSettingsForm::sbOkClick);
}

void TSettingsForm::DescribeDevice(const QString &Device)
{
    CbWaveInDevice->setAccessibleDescription(Device.isEmpty() ? "No device" : Device);
}

void TSettingsForm::FormCreate()
{
    SavedTop = y();
    SavedLeft = x();
}

void TSettingsForm::FormShow()
{
    move(SavedLeft, SavedTop);
    DeviceLabel.clear();
    if (!ShownBefore) {
        ShownBefore = true;
        const QRect Screen = screen()->geometry();
        setGeometry(QRect(Screen.center() - QPoint(width() / 2, height() / 2), size()));
    }
}

void TSettingsForm::showEvent(QShowEvent *Event)
{
    QWidget::showEvent(Event);
    if (!Event->spontaneous())
        FormShow();
}

// Ok never takes the focus, so its keys are the window's: Esc, Return and Enter
// that the device list leaves alone reach here. Return in the open list only
// chooses an item, as the list keeps that key to itself.
void TSettingsForm::keyPressEvent(QKeyEvent *Event)
{
    switch (Event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        sbOkClick();
        Event->accept();
        break;
    default:
        QWidget::keyPressEvent(Event);
    }
}

void TSettingsForm::sbOkClick()
{
    hide();
}

void TSettingsForm::CbWaveInDeviceChange()
{
    RestartCapture();
}

void TSettingsForm::FillDeviceList()
{
    const int32_t Count = static_cast<int32_t>(waveInGetNumDevs());
    if (InputDeviceIndex > Count - 1)
        InputDeviceIndex = 0;
    if (InputDeviceIndex < 0)
        InputDeviceIndex = 0;
    for (int32_t Id = 0; Id < Count; ++Id) {
        WAVEINCAPSA Caps{};
        QString Name = UnsupportedDevice;
        if (waveInGetDevCapsA(Id, &Caps, sizeof Caps) == MMSYSERR_NOERROR &&
            waveInOpen(nullptr, Id, &CaptureFormat, 0, 0, WAVE_FORMAT_QUERY) == MMSYSERR_NOERROR)
            Name = QString::fromUtf8(Caps.szPname, strnlen(Caps.szPname, sizeof Caps.szPname));
        CbWaveInDevice->addItem(QString::number(Id) + " : " + Name);
    }
    CbWaveInDevice->setCurrentIndex(InputDeviceIndex);
}

void TSettingsForm::ApplySettings(bool FillList)
{
    MainWrenForm->Spine.ClearHistory();
    FillCaptureFormat(CaptureFormat);
    if (FillList)
        FillDeviceList();
    DeviceLabel = DeviceLabelOf(CbWaveInDevice->currentText());
    if (DeviceLabel != ": " + UnsupportedDevice)
        InputDeviceIndex = CbWaveInDevice->currentIndex();
    MainWrenForm->SetStatusText(" In" + DeviceLabel);
}

void TSettingsForm::RestartCapture()
{
    // A change made while a restart waits for the driver is taken by that
    // restart, which reads the selection after its wait.
    if (Restarting)
        return;
    Restarting = true;
    if (MainWrenForm->Running) {
        MainWrenForm->SwitchCapture(false);
        MainWrenForm->WaitWhileRunning();
    } else {
        // Capture failed or never started: what the failure left open is
        // closed, and the chosen device gets a fresh start.
        MainWrenForm->ClearFailedCapture();
    }
    ApplySettings(false);
    MainWrenForm->SwitchCapture(true);
    Restarting = false;
}

QString DeviceLabelOf(const QString &ItemText)
{
    int Digits = 0;
    while (Digits < ItemText.size() && ItemText[Digits].isDigit() &&
           ItemText[Digits].unicode() < 128)
        ++Digits;
    // "10 : name" and longer identifiers lose their digits and the space, as
    // "1 : name" does, so the label always begins ": ".
    if (Digits >= 2 && Digits < ItemText.size() && ItemText[Digits] == ' ')
        return ItemText.mid(Digits + 1);
    return ItemText.mid(2);
}
