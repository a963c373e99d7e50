#pragma once

#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QStringList>

class ScannerSession;
class WindowModes;

namespace Ui {
class MainWindow;
}

// The serial port panel: the port list, opening and closing the link, and what the window
// shows when the link is lost. The link itself (the port, the probe, the worker and the
// procedures) is the session's; the panel connects its own buttons and the session's
// reports of the probe and the port.
class SerialPanel : public QObject
{
    Q_OBJECT

public:
    SerialPanel(Ui::MainWindow *form, ScannerSession *session, WindowModes *modes,
                QObject *parent = nullptr);

    // Ports that the system's port list does not show (pseudo-terminals, links): appended
    // to the list after every refresh.
    void addExtraPort(const QString &name);
    void selectPort(const QString &name);
    // Opens the selected port as the open button does, and returns once the probe's answer
    // was taken (whoever opens the port this way goes on with the outcome).
    void openSelectedPort();

    // The refresh button: the system's ports, then the extra ones.
    void refresh();
    // The open button: opens or closes by the button's checked state after the click.
    void openOrClose();
    // What the port reports; a lost port is the session's to handle, it says so with
    // portLost.
    void logPortError(QSerialPort::SerialPortError error);
    // Closes the link as the open button would.
    void closeLink();
    // The firmware update left the port closed: the window closes the link and says why.
    void dropLinkAfterUpdate();
    // The scanner restarts after a vendor-data save: the port closes shortly after, the
    // worker stays for the next open.
    void hangUpForRestart();

signals:
    // A scanner answered the probe; the read-out after connecting has started.
    void connected();
    // The link is about to close (its port is still open), and has closed.
    void closing();
    void closed();

private:
    void openPort();
    void closePort();
    void onProbeAnswered();
    void onProbeUnanswered();
    void onPortLost();
    bool isPlayback() const;

    Ui::MainWindow *form;
    ScannerSession *session;
    WindowModes *modes;
    QStringList extraPorts;
};
