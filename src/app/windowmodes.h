#pragma once

#include <QObject>
#include <QVector>

#include <array>

class QWidget;

namespace Ui {
class MainWindow;
}

// What the window is doing: one state at a time, and the one place that decides which of
// its controls can be used. Each mode is one row of the table in windowmodes.cpp; a mode
// added later (a recording played back) is one more row.
enum class WindowMode
{
    Disconnected,     // no link; the zone page waits for a scanner or offline work
    Offline,          // no link; the zone page works on the store alone
    Connecting,       // the port is open and the probe asked; nobody may have answered
    Connected,        // a scanner answered; its settings are read, its zones next
    Reading,          // the full zone read after connecting
    Ready,            // the scanner's zones are in the store
    NoZones,          // connected, but the scanner's zones could not be read
    Writing,          // the store's zones go to the scanner
    RestoringFactory, // the factory file's zones go to the scanner
    Comparing,        // the scanner's zones are read for a comparison, the store untouched
    UpdatingFirmware, // a firmware update runs
    BackingUp,        // the whole scanner is read into a backup file
    Restoring,        // a backup is checked against, written to and read back from the scanner
    Playback,         // a recording plays instead of a scanner; nothing is sent anywhere
};

class WindowModes : public QObject
{
    Q_OBJECT

public:
    // The controls whose use depends on the mode, each one widget, action or group of them.
    enum Control
    {
        Window,         // the whole window
        Navigation,     // the navigation tree
        PortChoice,     // the port and baud rate selectors
        OpenPort,       // the open and close button
        WorkOffline,    // File, Work offline
        ZonePage,       // the zone page's controls
        ScannerZones,   // read a channel from and upload the store to the scanner
        Undo,           // Edit, Undo
        Redo,           // Edit, Redo
        Filters,        // the filter group
        FactoryReset,   // the factory reset button
        FirmwareChoice, // the firmware file button
        FirmwareUpdate, // the firmware update button
        Recording,      // File, Record scans
        Report,         // File, Export report
        CompareScanner, // the comparison's read of the scanner's zones
        WholeScanner,   // File, Back up scanner and Restore to scanner
        OpenRecording,  // File, Open recording
        PlaybackBar,    // the playback bar's controls and File, Close recording
        ControlCount
    };
    // In a mode a control is off, on, or on when its owner's own condition holds (a port
    // is listed, a firmware file is chosen, a step can be taken back).
    enum Use : unsigned char
    {
        Off,
        On,
        Own
    };
    // The progress row a mode shows; the others are hidden.
    enum Progress : unsigned char
    {
        NoProgress,
        ReadProgress,
        UploadProgress,
        FactoryProgress
    };
    struct Row
    {
        WindowMode mode;
        std::array<Use, ControlCount> use;
        Progress progress;
    };
    static const Row &row(WindowMode mode);

    // Binds the form's controls and shows the window as disconnected. The operating
    // parameters and the output type are shown only, in every mode.
    WindowModes(Ui::MainWindow *form, QWidget *window, QObject *parent = nullptr);

    // A control made by its owner (a menu action, a dialog's button) follows the table too.
    void bind(Control control, QObject *widgetOrAction);

    WindowMode mode() const { return current; }
    void setMode(WindowMode mode);
    // A mode that returns to the one it interrupted (an update, a comparison's read): leave
    // goes back there, unless another mode has been set meanwhile.
    void enter(WindowMode mode);
    void leave(WindowMode mode);

    // The owner's condition for the controls that are Own in a mode.
    void setOwnCondition(Control control, bool holds);
    // Whether the control can be used now.
    bool isOn(Control control) const;

signals:
    void modeChanged(WindowMode mode);

private:
    void apply();

    Ui::MainWindow *form;
    std::array<QVector<QObject *>, ControlCount> bound;
    std::array<bool, ControlCount> own{};
    WindowMode current = WindowMode::Disconnected;
    WindowMode interrupted = WindowMode::Disconnected;
};
