// The settings window: the list of wave-in devices and the choice of the one
// capture records from. Its ApplySettings also serves the main window at its
// first showing.
#pragma once

#include <QWidget>

#include <cstdint>

class QComboBox;
class QLabel;
class QPushButton;
class QTabWidget;

class TSettingsForm : public QWidget
{
    Q_OBJECT

  public:
    explicit TSettingsForm(QWidget *Parent = nullptr);
    ~TSettingsForm() override;

    void FormCreate();
    // Every showing goes back to the creation-time position; the first one is
    // then centred on the screen.
    void FormShow();
    void sbOkClick();
    void CbWaveInDeviceChange();

    // Clears the sample history, refills the capture format, fills the device
    // list when FillList is set, takes the selection into InputDeviceIndex and
    // writes the status text of the main window.
    void ApplySettings(bool FillList);
    // Moves capture to the selected device: a running capture is stopped
    // first; a failed one has its handles closed first.
    void RestartCapture();

    int32_t SavedTop = 0;
    int32_t SavedLeft = 0;
    QString DeviceLabel;

    QTabWidget *PageControl = nullptr;
    QWidget *TabSheet2 = nullptr;
    QLabel *Label2 = nullptr;
    QComboBox *CbWaveInDevice = nullptr;
    QPushButton *sbOk = nullptr;

  protected:
    void showEvent(QShowEvent *Event) override;
    void keyPressEvent(QKeyEvent *Event) override;

  private:
    void CreateControls();
    void FillDeviceList();
    // The device list's accessible description: the device it shows.
    void DescribeDevice(const QString &Device);
    bool ShownBefore = false;
    bool Restarting = false;
};

// The one settings window of the program (null before it is created).
extern TSettingsForm *SettingsForm;

// An item's text without the device identifier and the space after it:
// ": name" for every identifier, whatever its number of digits.
QString DeviceLabelOf(const QString &ItemText);
