#pragma once

#include "sessionfailure.h"
#include "zoneblock.h"

#include <QObject>
#include <QString>
#include <QVector>

#include <functional>
#include <memory>

class QLabel;
class QWidget;
class ScannerSession;
class WindowModes;
class ZoneEditor;
class ZoneSet;
class ZoneStoreFile;

namespace Ui {
class MainWindow;
}

// The zones between the store and the scanner: the full read after connecting (asking
// first when the store holds zones the scanner never received), single channel reads, the
// upload of all 64 channels checked beforehand, the factory reset's upload, and the read of
// the scanner's zones for a comparison, which leaves the store untouched. Its progress rows
// and the fingerprint of what the scanner holds are on the zone and device pages.
class ZoneTransfer : public QObject
{
    Q_OBJECT

public:
    // deviceChannel: the scanner's current channel as last reported, which the editor shows
    // after the full read.
    ZoneTransfer(Ui::MainWindow *form, QWidget *window, ScannerSession *session, WindowModes *modes,
                 ZoneStoreFile *store, ZoneEditor *editor, std::function<int()> deviceChannel,
                 QObject *parent = nullptr);

    // The download button: the edited channel read from the scanner.
    void readEditedChannel();
    // The upload button: the edited channel saved into the store, every channel checked
    // as strictly as a zone file from outside, then all 64 sent.
    void upload();
    // The factory file's zones, already in the store, sent as the factory reset's upload.
    void uploadFactoryZones();
    // The progress of a read and of an upload; a channel read on its own goes to the
    // editor when it is the edited one.
    void showReadProgress(int index);
    void showWriteProgress(int index);
    // The scanner's zones read afresh into a set of their own; false when no read can start.
    bool readForComparison();
    // The store holds what the scanner holds (all 64 channels read or written by another
    // owner): marked so, and its fingerprint shown.
    void zonesReachedScanner();

signals:
    // The store took the scanner's zones or gave them all to it: what draws the stored
    // zones draws again.
    void zonesUpdated();
    // An upload ended, sent whole or not.
    void uploadEnded();
    // The comparison's read: the scanner's zones, or why there are none.
    void comparisonRead(const ZoneSet &zones);
    void comparisonFailed(const SessionFailure &failure);
    // The question about unsent zones was cancelled: neither side is written over, and the
    // link that asked goes.
    void unsentZonesKept();

private:
    void storeScannerChannel(int channel, const ZoneChannelRecord &areas);
    void onReadStarted();
    void onReadFinished();
    void onReadFailed(const SessionFailure &failure);
    void startUpload(bool factory);
    bool storeFitsTheScanner(QVector<QByteArray> *blocks);
    void onWriteFinished();
    void onWriteFailed(const SessionFailure &failure);
    void endUpload();
    // A backup or restore runs the zone read and write itself: their reports are its own.
    bool transfersLent() const;

    // Zones in the store the scanner has not received (unsentzones.cpp).
    bool uploadUnsentZonesInstead();
    QString keepUnsentZonesCopy(QString *error);

    Ui::MainWindow *form;
    QWidget *window;
    ScannerSession *session;
    WindowModes *modes;
    ZoneStoreFile *store;
    ZoneEditor *editor;
    std::function<int()> deviceChannel;
    QLabel *fingerprintLabel = nullptr;
    bool factoryUpload = false;
    // The scanner's zones while a read for a comparison runs; null otherwise.
    std::unique_ptr<ZoneSet> comparison;
};
