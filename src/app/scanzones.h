#pragma once

#include "zonefromscan.h"
#include "zonefromscandialog.h"

#include <QObject>
#include <QVector>

#include <functional>

class QMainWindow;
class ZoneEditor;

namespace Ui {
class MainWindow;
}

// Zone from scan (Edit menu): the edited area of the zone page becomes the polygon the
// latest scans leave free, kept a margin away from every echo. The scans are the batches
// both scan displays get, kept here as they come.
class ScanZones : public QObject
{
    Q_OBJECT

public:
    ScanZones(Ui::MainWindow *form, QMainWindow *window, ZoneEditor *editor,
              QObject *parent = nullptr);

    static constexpr int kKeptScans = 250; // ten seconds at 25 scans a second

    // Where the choice comes from: its dialog unless replaced (false: cancelled).
    void setChoiceProvider(std::function<bool(ZoneFromScanChoice *)> provider)
    {
        choiceProvider = std::move(provider);
    }
    // One scan as both displays got it; the latest are kept, the latest last.
    void keepScan(const QVector<float> &angles, const QVector<ushort> &ranges);
    const QVector<ScanSweep> &keptScans() const { return recentScans; }
    // A new connection may be another scanner: zones are drawn from its scans alone.
    void forgetScans() { recentScans.clear(); }
    // The action: the choice asked, the edited area replaced.
    void zoneFromScan();

signals:
    // The new zone is drawn on the zone page: it must be in front.
    void zonePageWanted();

private:
    QMainWindow *window;
    ZoneEditor *editor;
    QVector<ScanSweep> recentScans;
    ZoneFromScanChoice lastChoice;
    std::function<bool(ZoneFromScanChoice *)> choiceProvider;
};
