// The two windows driven as a user would, offscreen, over the scripted driver.
#include "Cmp_LedDisplay.h"
#include "ScriptedWaveIn.h"
#include "Settings.h"
#include "TXMain.h"
#include "ToneSignals.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

QT_BEGIN_NAMESPACE
// Readable failure messages for the texts compared below.
void PrintTo(const QString &Text, std::ostream *Out)
{
    *Out << '"' << Text.toStdString() << '"';
}
void PrintTo(const QPoint &Point, std::ostream *Out)
{
    *Out << '(' << Point.x() << ", " << Point.y() << ')';
}
QT_END_NAMESPACE

namespace {

std::vector<int16_t> Tone(double Low, double High, double Amplitude = 8000)
{
    return TonePairBlock(Low, High, Amplitude, Amplitude);
}

const std::vector<int16_t> Silence(1024, 0);
const std::vector<int16_t> Key1 = Tone(697, 1209);

// What a warning dialog showed before the test answered it.
struct TSeenWarning
{
    QString Title;
    QString Text;
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
    QStringList Buttons;
    bool DefaultIsEscape = false;
    bool MainWindowVisible = false;
    bool Running = false;
    bool OnTop = false;
};

struct WindowTest : ::testing::Test
{
    TScriptedWaveIn Driver;
    std::unique_ptr<TMainWrenForm> Main;
    std::unique_ptr<TSettingsForm> Settings;
    std::vector<TSeenWarning> Warnings;
    QTimer Answerer;

    void SetUp() override
    {
        // Every modal warning is read and answered with its default button.
        Answerer.setInterval(5);
        QObject::connect(&Answerer, &QTimer::timeout, [this] { AnswerWarning(); });
        Answerer.start();
    }

    void TearDown() override
    {
        Settings.reset();
        Main.reset();
    }

    void AnswerWarning()
    {
        auto *Box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!Box)
            return;
        TSeenWarning Seen;
        Seen.Title = Box->windowTitle();
        Seen.Text = Box->text();
        Seen.Icon = Box->icon();
        for (auto *Button : Box->buttons())
            Seen.Buttons << Button->text();
        Seen.DefaultIsEscape = Box->defaultButton() && Box->defaultButton() == Box->escapeButton();
        Seen.MainWindowVisible =
            Main && Main->isVisible() && Main->windowHandle() && Main->windowHandle()->isExposed();
        Seen.Running = Main && Main->Running;
        Seen.OnTop = Box->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
        Warnings.push_back(Seen);
        QTest::keyClick(Box, Qt::Key_Escape);
    }

    void Start(TDetectorKind Detector = dkWindow)
    {
        Main = std::make_unique<TMainWrenForm>(Detector);
        Settings = std::make_unique<TSettingsForm>();
        Main->show();
        Pump();
    }

    static void Pump()
    {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    }

    void Feed(const std::vector<int16_t> &Block, int Count = 1)
    {
        for (int i = 0; i < Count; ++i) {
            ASSERT_TRUE(Driver.FillBuffer(Block));
            Pump();
        }
    }

    QString Line() const { return Main->EditDTMF->text(); }

    int Count(const std::string &Call) const
    {
        return static_cast<int>(std::count(Driver.Calls.begin(), Driver.Calls.end(), Call));
    }

    void Choose(int Item)
    {
        Settings->show();
        Pump();
        QComboBox *Box = Settings->CbWaveInDevice;
        // One key at a time, with the driver's notifications handled in
        // between, as they are between a user's keystrokes.
        while (Box->currentIndex() < Item) {
            QTest::keyClick(Box, Qt::Key_Down);
            Pump();
        }
        while (Box->currentIndex() > Item) {
            QTest::keyClick(Box, Qt::Key_Up);
            Pump();
        }
    }

    void UseDevices(int Count)
    {
        for (int i = 0; i < Count; ++i)
            Driver.Devices.push_back({"Line " + std::to_string(i)});
    }
};

TEST_F(WindowTest, DeviceListNamesEverySupportedDeviceAndMarksTheOthers)
{
    Driver.Devices = {{"Monitor of LineOne"}, {"Broken", true}, {"Mono only", false, false}};
    Start();

    QComboBox *Box = Settings->CbWaveInDevice;
    ASSERT_EQ(Box->count(), 3);
    EXPECT_EQ(Box->itemText(0), "0 : Monitor of LineOne");
    EXPECT_EQ(Box->itemText(1), "1 : Unsupported Device");
    EXPECT_EQ(Box->itemText(2), "2 : Unsupported Device");
    EXPECT_EQ(Box->currentIndex(), 0);
    // Capabilities for all three, the format asked only of the two that gave them.
    EXPECT_EQ(Count("waveInGetDevCapsA"), 3);
    EXPECT_EQ(Count("waveInOpen"), 2 + 2);

    EXPECT_EQ(Settings->DeviceLabel, ": Monitor of LineOne");
    EXPECT_EQ(Main->StatusText(), " In: Monitor of LineOne");
    EXPECT_EQ(InputDeviceIndex, 0);
    EXPECT_EQ(Driver.OpenedDevices, (std::vector<UINT>{0, 0}));
    EXPECT_TRUE(Main->Running);
    EXPECT_TRUE(Warnings.empty());
}

TEST_F(WindowTest, NoDeviceLeavesTheListEmptyAndTheIndexAtMinusOne)
{
    Start();

    EXPECT_EQ(Settings->CbWaveInDevice->count(), 0);
    EXPECT_EQ(Settings->DeviceLabel, "");
    EXPECT_EQ(Main->StatusText(), " In");
    EXPECT_EQ(InputDeviceIndex, -1);
    // The open is tried with that index and fails in words.
    ASSERT_EQ(Warnings.size(), 1u);
    EXPECT_TRUE(Warnings[0].Text.startsWith("Can`t open audio device !\r\n"));
    EXPECT_FALSE(Main->Running);
}

TEST_F(WindowTest, TwoDigitDevicesReadAsOneDigitDevicesDo)
{
    UseDevices(12);
    Driver.Devices[11].FormatSupported = false;
    Start();
    ASSERT_EQ(Settings->CbWaveInDevice->itemText(10), "10 : Line 10");

    Choose(10);
    EXPECT_EQ(Settings->DeviceLabel, ": Line 10");
    EXPECT_EQ(Main->StatusText(), " In: Line 10");
    EXPECT_EQ(InputDeviceIndex, 10);
    EXPECT_EQ(Driver.OpenedDevices.back(), 10u);

    // An unsupported two-digit device is refused as a one-digit one is.
    Choose(11);
    EXPECT_EQ(Settings->DeviceLabel, ": Unsupported Device");
    EXPECT_EQ(InputDeviceIndex, 10);
    EXPECT_EQ(Driver.OpenedDevices.back(), 10u);
    EXPECT_TRUE(Main->Running);
    EXPECT_TRUE(Warnings.empty());
}

TEST_F(WindowTest, ChoosingADeviceMovesARunningCapture)
{
    UseDevices(3);
    Driver.Devices[2].CapsFail = true;
    Start();

    Choose(1);
    EXPECT_EQ(Driver.OpenedDevices, (std::vector<UINT>{0, 0, 1, 1}));
    EXPECT_EQ(Driver.OpenHandles(), 2);
    EXPECT_EQ(InputDeviceIndex, 1);
    EXPECT_EQ(Main->StatusText(), " In: Line 1");
    EXPECT_TRUE(Main->Running);
    Feed(Key1, 4);
    Feed(Silence, 2);
    EXPECT_EQ(Line(), "1");

    // An unsupported one-digit device: the capture restarts where it was.
    Choose(2);
    EXPECT_EQ(InputDeviceIndex, 1);
    EXPECT_EQ(Main->StatusText(), " In: Unsupported Device");
    EXPECT_EQ(Driver.OpenedDevices, (std::vector<UINT>{0, 0, 1, 1, 1, 1}));
}

TEST_F(WindowTest, TypingInTheDeviceFieldRestartsAtEveryKeystroke)
{
    UseDevices(2);
    Start();
    Settings->show();
    Pump();
    QLineEdit *Field = Settings->CbWaveInDevice->lineEdit();
    Field->setFocus();
    Field->end(false);

    for (char Key : {'x', 'y'}) {
        QTest::keyClicks(Field, QString(QChar(Key)));
        Pump();
    }
    EXPECT_EQ(Count("waveInStart"), 3);
    EXPECT_EQ(Settings->DeviceLabel, ": Line 0xy");
    EXPECT_EQ(Main->StatusText(), " In: Line 0xy");
    EXPECT_TRUE(Main->Running);
    // Typing never adds an item to the list.
    QTest::keyClick(Field, Qt::Key_Return);
    EXPECT_EQ(Settings->CbWaveInDevice->count(), 2);
}

// Every way capture can fail, then a device chosen in Settings: the handles
// the failure left open are closed and capture starts on the chosen device;
// a start that fails again shows the same warning, and a later choice still
// recovers.
enum TFailure
{
    fFirstOpen,
    fSecondOpen,
    fStart,
    fRequeue
};

struct RecoveryTest : WindowTest, ::testing::WithParamInterface<TFailure>
{
};

TEST_P(RecoveryTest, ChoosingADeviceAfterAFailureStartsCaptureOnIt)
{
    UseDevices(3);
    if (GetParam() == fFirstOpen)
        Driver.OpenResults = {MMSYSERR_ALLOCATED};
    if (GetParam() == fSecondOpen)
        Driver.OpenResults = {MMSYSERR_NOERROR, MMSYSERR_ALLOCATED};
    if (GetParam() == fStart)
        Driver.StartResult = MMSYSERR_NOMEM;
    Start();
    if (GetParam() == fRequeue) {
        Driver.AddBufferResult = MMSYSERR_NOMEM;
        Feed(Key1);
    }
    ASSERT_EQ(Warnings.size(), 1u);
    ASSERT_FALSE(Main->Running);
    Driver.StartResult = MMSYSERR_NOERROR;
    Driver.AddBufferResult = MMSYSERR_NOERROR;

    Driver.OpenResults = {MMSYSERR_ALLOCATED};
    Choose(1);
    ASSERT_EQ(Warnings.size(), 2u);
    EXPECT_TRUE(Warnings[1].Text.startsWith("Can`t open audio device !\r\n"));
    EXPECT_EQ(Driver.OpenHandles(), 0);
    EXPECT_FALSE(Main->Running);

    Choose(2);
    EXPECT_EQ(Warnings.size(), 2u);
    EXPECT_EQ(Driver.OpenHandles(), 2);
    EXPECT_EQ(Driver.OpenedDevices.back(), 2u);
    EXPECT_EQ(InputDeviceIndex, 2);
    EXPECT_EQ(Main->StatusText(), " In: Line 2");
    ASSERT_TRUE(Main->Running);
    Feed(Key1, 3);
    Feed(Silence, 2);
    EXPECT_EQ(Line(), "1");
    EXPECT_TRUE(Main->close());
    EXPECT_EQ(Driver.OpenHandles(), 0);
}

INSTANTIATE_TEST_SUITE_P(Failures, RecoveryTest,
                         ::testing::Values(fFirstOpen, fSecondOpen, fStart, fRequeue));

// The strict receiver on the line: a keyed sequence with its tones starting
// anywhere in a block gives every digit once, each while its key is held and
// no later than 80 ms after its tone began; the line keeps its last 48
// characters, the user's text among them, as it does with the window's
// detector.
TEST_F(WindowTest, StrictReceiverShowsEachDigitWithinEightyMillisecondsOfItsTone)
{
    UseDevices(1);
    Start(dkStrict);
    const std::string Keyed = "0123456789ABCD*#";
    std::vector<int16_t> Signal;
    std::vector<size_t> Onsets;
    AppendSilence(Signal, 4800);
    for (size_t i = 0; i < Keyed.size(); ++i) {
        Onsets.push_back(Signal.size());
        AppendTone(Signal, Keyed[i], 3360, 48000);
        AppendSilence(Signal, 3360 + 97 * static_cast<int>(i));
    }
    Main->EditDTMF->setText(QString(40, QChar('x')));

    const auto DigitsShown = [this] {
        const QString Text = Line();
        return static_cast<size_t>(
            std::count_if(Text.begin(), Text.end(), [](QChar C) { return C != QChar('x'); }));
    };
    std::vector<size_t> Latencies;
    for (size_t At = 0; At < Signal.size(); At += 1024) {
        const size_t End = std::min(At + 1024, Signal.size());
        const size_t Before = DigitsShown();
        Feed(std::vector<int16_t>(Signal.begin() + At, Signal.begin() + End));
        for (size_t Digit = Before; Digit < DigitsShown() && Digit < Onsets.size(); ++Digit)
            Latencies.push_back(End - Onsets[Digit]);
    }
    EXPECT_EQ(Line(), (QString(32, QChar('x')) + QString::fromStdString(Keyed)).right(48));
    ASSERT_EQ(Latencies.size(), Keyed.size());
    const size_t Slowest = *std::max_element(Latencies.begin(), Latencies.end());
    EXPECT_LE(Slowest, 3840u);
    std::printf("strict receiver: each digit on the line %.1f to %.1f ms after its tone began\n",
                *std::min_element(Latencies.begin(), Latencies.end()) / 48.0, Slowest / 48.0);
}

// What assistive technology reads: the meter's level as a value in per cent,
// the device list by its role, with the device it shows as its description.
TEST_F(WindowTest, AssistiveTechnologyReadsTheLevelAndTheRecordingDevice)
{
    UseDevices(2);
    Start();
    QAccessibleInterface *Meter = QAccessible::queryAccessibleInterface(Main->LedDisplay);
    ASSERT_TRUE(Meter && Meter->valueInterface());
    EXPECT_EQ(Meter->role(), QAccessible::ProgressBar);
    EXPECT_EQ(Meter->text(QAccessible::Name), "Input level");
    EXPECT_EQ(Meter->valueInterface()->maximumValue(), 100);
    for (auto [Amplitude, Percent] : {std::pair{8192, 50}, {4096, 25}, {0, 0}}) {
        Feed(Tone(697, 1209, Amplitude));
        EXPECT_NEAR(Meter->valueInterface()->currentValue().toInt(), Percent, 1) << Amplitude;
    }

    Settings->show();
    QAccessibleInterface *List = QAccessible::queryAccessibleInterface(Settings->CbWaveInDevice);
    ASSERT_TRUE(List);
    EXPECT_EQ(List->role(), QAccessible::ComboBox);
    EXPECT_EQ(List->text(QAccessible::Name), "Recording device");
    EXPECT_EQ(List->text(QAccessible::Description), "0 : Line 0");
    Choose(1);
    EXPECT_EQ(List->text(QAccessible::Description), "1 : Line 1");
    EXPECT_EQ(List->text(QAccessible::Value), "1 : Line 1");
    ASSERT_EQ(List->childCount(), 2);
    EXPECT_EQ(List->child(0)->object(), Settings->CbWaveInDevice->view());
    EXPECT_EQ(List->indexOfChild(List->child(1)), 1);
    List->actionInterface()->doAction(QAccessibleActionInterface::showMenuAction());
    EXPECT_TRUE(Settings->CbWaveInDevice->view()->isVisible());
}

TEST_F(WindowTest, ClearEmptiesTheLineButNotTheGate)
{
    UseDevices(1);
    Start();
    Feed(Key1, 3);
    EXPECT_EQ(Line(), "1");
    EXPECT_GT(Main->LedDisplay->Position(), 10000);

    // Clear while the tone is still held: the held symbol does not come back.
    QTest::mouseClick(Main->SpeedButton1, Qt::LeftButton);
    EXPECT_EQ(Line(), "");
    Feed(Key1, 3);
    EXPECT_EQ(Line(), "");

    Feed(Silence, 2);
    Feed(Key1, 3);
    EXPECT_EQ(Line(), "1");
}

TEST_F(WindowTest, UserTextOnTheLineIsKeptAndCutWithTheDigits)
{
    UseDevices(1);
    Start();
    Main->EditDTMF->setText(QString(47, QChar(0x0416)));
    Feed(Key1, 3);
    Feed(Silence, 2);
    const QString Expected = QString(46, QChar(0x0416)) + "11";
    Feed(Key1, 3);
    EXPECT_EQ(Line(), Expected.right(48));
}

TEST_F(WindowTest, ClosingWhileRecordingWaitsForBothCloseNotifications)
{
    UseDevices(1);
    Start();
    Feed(Key1, 2);
    ASSERT_TRUE(Main->Running);
    bool Closed = false;
    QObject::connect(Main.get(), &TMainWrenForm::Closed, [&] { Closed = true; });

    EXPECT_TRUE(Main->close());
    EXPECT_TRUE(Closed);
    EXPECT_FALSE(Main->Running);
    EXPECT_FALSE(Main->Stopping);
    EXPECT_EQ(Main->CloseCount, 0);
    EXPECT_EQ(Driver.OpenHandles(), 0);
    EXPECT_EQ(Count("waveInClose"), 2);
    EXPECT_EQ(Main->LedDisplay->Position(), 0);

    // Nothing is left for the destruction to close.
    Main.reset();
    EXPECT_EQ(Count("waveInClose"), 2);
}

TEST_F(WindowTest, FailingFirstStartWarnsBeforeTheWindowAndClosesAtOnce)
{
    UseDevices(1);
    Driver.OpenResults = {MMSYSERR_ALLOCATED};
    Start();

    ASSERT_EQ(Warnings.size(), 1u);
    const TSeenWarning &Seen = Warnings[0];
    EXPECT_EQ(Seen.Title, "Warning");
    EXPECT_EQ(Seen.Icon, QMessageBox::Warning);
    EXPECT_TRUE(Seen.Text.startsWith("Can`t open audio device !\r\n")) << Seen.Text.toStdString();
    EXPECT_TRUE(Seen.Text.endsWith("device already allocated")) << Seen.Text.toStdString();
    EXPECT_EQ(Seen.Buttons, QStringList{"OK"});
    EXPECT_TRUE(Seen.DefaultIsEscape);
    EXPECT_FALSE(Seen.MainWindowVisible);
    EXPECT_TRUE(Seen.OnTop) << "the settings window, on top, would hide it";

    EXPECT_TRUE(Main->isVisible());
    EXPECT_FALSE(Main->Running);
    EXPECT_EQ(Main->LedDisplay->Position(), 0);
    EXPECT_FALSE(Driver.FillBuffer(Key1));
    EXPECT_TRUE(Main->close());
    EXPECT_EQ(Count("waveInReset"), 0);
}

TEST_F(WindowTest, FailingSecondOpenLeavesTheFirstHandleToTheDestruction)
{
    UseDevices(1);
    Driver.OpenResults = {MMSYSERR_NOERROR, MMSYSERR_ALLOCATED};
    Start();

    ASSERT_EQ(Warnings.size(), 1u);
    // The first handle's open notification is handled while the warning is up.
    EXPECT_TRUE(Warnings[0].Running);
    EXPECT_FALSE(Main->Running);
    EXPECT_EQ(Driver.OpenHandles(), 1);
    EXPECT_TRUE(Main->close());
    EXPECT_EQ(Driver.OpenHandles(), 1);

    Main.reset();
    EXPECT_EQ(Driver.OpenHandles(), 0);
}

// Run once on an ordinary screen and once on one only 100 pixels high.
TEST_F(WindowTest, FirstShowingKeepsTheWindowThirtyPixelsShortOfTheScreen)
{
    UseDevices(1);
    Start();
    const int ScreenHeight = Main->screen()->geometry().height();
    EXPECT_EQ(Main->height(), std::min(87, ScreenHeight - 30));
    EXPECT_EQ(Main->width(), 419);
}

TEST_F(WindowTest, SettingsWindowCentresOnceThenReturnsToItsDesignPlace)
{
    UseDevices(1);
    Start();
    QTest::mouseClick(Main->SpeedButton2, Qt::LeftButton);
    Pump();
    ASSERT_TRUE(Settings->isVisible());
    const QRect Screen = Settings->screen()->geometry();
    EXPECT_LE((Settings->geometry().center() - Screen.center()).manhattanLength(), 1);

    Settings->move(20, 30);
    QTest::mouseClick(Settings->sbOk, Qt::LeftButton);
    EXPECT_FALSE(Settings->isVisible());
    QTest::mouseClick(Main->SpeedButton2, Qt::LeftButton);
    Pump();
    EXPECT_EQ(Settings->pos(), QPoint(713, 168));
    EXPECT_TRUE(Main->Running);
}

TEST_F(WindowTest, KeysCloseSettingsAndWorkTheButtonsFromTheDigitLine)
{
    UseDevices(2);
    Start();
    Main->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Main.get()));
    Main->EditDTMF->setFocus();
    Main->EditDTMF->setText("123");

    // The buttons keep out of the focus chain; their keys are in their tooltips.
    for (QPushButton *Button : {Main->SpeedButton1, Main->SpeedButton2, Settings->sbOk})
        EXPECT_EQ(Button->focusPolicy(), Qt::NoFocus) << Button->text().toStdString();
    EXPECT_EQ(Main->SpeedButton1->text(), "Clear");
    EXPECT_EQ(Main->SpeedButton2->text(), "Settings");
    EXPECT_TRUE(Main->SpeedButton1->toolTip().endsWith("(Ctrl+L)"))
        << Main->SpeedButton1->toolTip().toStdString();
    EXPECT_TRUE(Main->SpeedButton2->toolTip().endsWith("(Ctrl+,)"))
        << Main->SpeedButton2->toolTip().toStdString();

    // Ctrl+L clears and Ctrl+, opens Settings; neither types into the line.
    QTest::keyClick(Main->EditDTMF, Qt::Key_L, Qt::ControlModifier);
    EXPECT_EQ(Line(), "");
    Main->EditDTMF->setText("45");
    QTest::keyClick(Main->EditDTMF, Qt::Key_Comma, Qt::ControlModifier);
    Pump();
    EXPECT_EQ(Line(), "45");
    EXPECT_TRUE(Settings->isVisible());

    // Return in the open list chooses a device and leaves Settings up.
    Settings->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Settings.get()));
    Settings->CbWaveInDevice->showPopup();
    Pump();
    QAbstractItemView *List = Settings->CbWaveInDevice->view();
    ASSERT_TRUE(List->isVisible());
    QTest::keyClick(List, Qt::Key_Down);
    QTest::keyClick(List, Qt::Key_Return);
    Pump();
    EXPECT_TRUE(Settings->isVisible());
    EXPECT_EQ(InputDeviceIndex, 1);

    // Esc, Return and Enter each hide Settings from the device list, which keeps its choice.
    for (Qt::Key Key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
        Settings->show();
        Settings->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Settings.get()));
        Settings->CbWaveInDevice->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Key);
        Pump();
        EXPECT_FALSE(Settings->isVisible()) << "key " << Key;
    }
    EXPECT_EQ(Settings->CbWaveInDevice->currentIndex(), 1);
    EXPECT_EQ(Settings->CbWaveInDevice->count(), 2);

    // What assistive technology reads, the label's caption unchanged.
    EXPECT_EQ(Main->EditDTMF->accessibleName(), "Decoded digits");
    EXPECT_EQ(Main->LedDisplay->accessibleName(), "Input level");
    EXPECT_FALSE(Main->ImgScale->accessibleName().isEmpty());
    for (QWidget *Control :
         {static_cast<QWidget *>(Main->EditDTMF), static_cast<QWidget *>(Main->LedDisplay),
          static_cast<QWidget *>(Main->ImgScale), static_cast<QWidget *>(Settings->CbWaveInDevice)})
        EXPECT_FALSE(Control->accessibleDescription().isEmpty())
            << Control->objectName().toStdString();
    EXPECT_EQ(Settings->Label2->buddy(), Settings->CbWaveInDevice);
    EXPECT_EQ(Settings->Label2->text(), "Waveform Record (RX) :");
    EXPECT_TRUE(Main->Running);
    EXPECT_TRUE(Warnings.empty());
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication App(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
