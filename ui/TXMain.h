// The main window: digit line, level meter with its dB scale, Clear and
// Settings buttons and the status bar naming the input device. It owns the
// spine and the capture state and receives the wave-in driver's notifications
// as posted events on the GUI thread.
#pragma once

#include "CaptureControl.h"
#include "WaveIn.h"
#include "WindowOptions.h"
#include "window/DigitLine.h"
#include "window/DtmfSpine.h"

#include <QWidget>

#include <memory>

class QKeySequence;
class QLabel;
class QLineEdit;
class QPushButton;
class QStatusBar;
class TLedDisplay;
class TStrictBlockDetector;

class TMainWrenForm : public QWidget,
                      public TCaptureControl,
                      public TWaveInWindow,
                      public TDigitLine
{
    Q_OBJECT

  public:
    // Detector decides what the digit line shows; the rest of the window is
    // the same with either.
    explicit TMainWrenForm(TDetectorKind Detector = dkWindow, QWidget *Parent = nullptr);
    ~TMainWrenForm() override;

    // Called from the driver's thread: queues the notification for event().
    void PostWaveMessage(UINT Msg, HWAVEIN Handle, WAVEHDR *Header) override;

    // The digit line is EditDTMF's text, UTF-8 encoded.
    std::string Text() const override;
    void SetText(const std::string &Text) override;
    // Its length in code points, without converting the text.
    size_t Length() const override;

    // The first panel of the status bar.
    QString StatusText() const;
    void SetStatusText(const QString &Text);

    void FormCreate();
    void FormShow();
    // Stops capture and waits for the driver; the close is always allowed.
    void FormCloseQuery();
    void FormDestroy();
    void SpeedButton1Click();
    void SpeedButton2Click();

    TDtmfSpine Spine;

    QLineEdit *EditDTMF = nullptr;
    TLedDisplay *LedDisplay = nullptr;
    QLabel *ImgScale = nullptr;
    QPushButton *SpeedButton1 = nullptr;
    QPushButton *SpeedButton2 = nullptr;
    QStatusBar *StatusBar = nullptr;
    QLabel *StatusPanel = nullptr;

  signals:
    // The window has agreed to close: the program ends.
    void Closed();

  protected:
    bool event(QEvent *Event) override;
    void showEvent(QShowEvent *Event) override;
    void closeEvent(QCloseEvent *Event) override;

    void ShowWarning(const std::string &Text) override;
    void ProcessMessages() override;
    void SetMeterPosition(int32_t Position) override;

  private:
    void CreateControls();
    // A window-wide key that clicks Button, named in its tooltip after Tip.
    void AddShortcut(QPushButton *Button, const QKeySequence &Key, const QString &Tip);
    void CentreOnScreen();

    std::unique_ptr<TStrictBlockDetector> StrictDetector;
};

// The one main window of the program (null before it is created).
extern TMainWrenForm *MainWrenForm;
