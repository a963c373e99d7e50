#pragma once

#include <QDialog>

class QSpinBox;

// What the user chose for a zone drawn from the scan.
struct ZoneFromScanChoice
{
    int scans = 25;     // the latest scans to take the nearest echoes from (one second)
    int margin = 100;   // mm
    int tolerance = 20; // mm
};

// The small dialog of the zone page's "Zone from scan": how many scans, the margin and
// the tolerance.
class ZoneFromScanDialog : public QDialog
{
    Q_OBJECT

public:
    // maxScans: the most scans the window keeps.
    ZoneFromScanDialog(const ZoneFromScanChoice &initial, int maxScans, QWidget *parent);
    ZoneFromScanChoice choice() const;

    // Runs the dialog; false when it was cancelled.
    static bool ask(QWidget *parent, int maxScans, ZoneFromScanChoice *choice);

private:
    QSpinBox *scans;
    QSpinBox *margin;
    QSpinBox *tolerance;
};
