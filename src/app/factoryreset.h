#pragma once

#include "requesttype.h"

#include <QObject>
#include <QString>

class FilterPanel;
class QWidget;
class ScannerSession;
class WindowModes;
class ZoneEditor;
class ZoneStoreFile;
class ZoneTransfer;

namespace Ui {
class MainWindow;
}

// Factory reset: the filter values and the zones of factorySettings.ini, sent through the
// filter page's own controls and the zone page's upload.
class FactoryReset : public QObject
{
    Q_OBJECT

public:
    FactoryReset(Ui::MainWindow *form, QWidget *window, ScannerSession *session, WindowModes *modes,
                 FilterPanel *filters, ZoneStoreFile *store, ZoneEditor *editor,
                 ZoneTransfer *transfer, QObject *parent = nullptr);

    // The button: asks, then sends the factory values and zones.
    void restore();
    // From the question's answer until the factory zones' upload has ended; the save answer
    // of the factory values meanwhile is the reset's, not the user's.
    bool isRunning() const { return running; }

signals:
    void sendRequestType(RequestType type, QString value);

private:
    QWidget *window;
    ScannerSession *session;
    WindowModes *modes;
    FilterPanel *filters;
    ZoneStoreFile *store;
    ZoneEditor *editor;
    ZoneTransfer *transfer;
    bool running = false;
};
