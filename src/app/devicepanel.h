#pragma once

#include "requesttype.h"

#include <QObject>
#include <QString>

namespace Ui {
class MainWindow;
}

// The device page's values as the scanner reports them (identity, frequency, output type,
// the channel its inputs select) and the answers of the vendor requests, which show a box.
// The operating parameters are shown only: their save button stays hidden.
class DevicePanel : public QObject
{
    Q_OBJECT

public:
    explicit DevicePanel(Ui::MainWindow *form, QObject *parent = nullptr);

    // A read result of this page, or a vendor request's answer.
    void takeResult(RequestType type, const QString &value);
    // The hidden save button's work: the frequency field as the scanner's frequency.
    void saveFrequency();
    // The scanner's current channel as last reported.
    int currentChannel() const { return deviceCurrentChannel; }

signals:
    void sendRequestType(RequestType type, QString value);
    // The vendor data are saved and the scanner asked to restart: its port goes away.
    void scannerRestarting();

private:
    Ui::MainWindow *form;
    int deviceCurrentChannel = 0;
};
