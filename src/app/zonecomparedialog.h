#pragma once

#include "zonediff.h"
#include "zoneset.h"

#include <QDialog>
#include <QString>
#include <QVector>

class QLabel;
class QPushButton;
class QTreeWidget;

// The comparison of the zone store with another zone set (a zone file, or the scanner's
// zones read afresh): one row per difference, by channel and area, with both values.
// Choosing a row asks for that channel and area to be shown in the zone editor. The dialog
// keeps the other set, so the window can compare again whenever the store changes.
class ZoneCompareDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ZoneCompareDialog(QWidget *parent = nullptr);

    // The other set and its name as the list's header shows it; scanner: it was read from
    // the scanner rather than a file.
    void setOther(const ZoneSet &zones, const QString &name, bool scanner);
    const ZoneSet &other() const { return otherZones; }
    bool comparesScanner() const { return scanner; }
    // Lists the differences of the store (first) from the other set (second). The row the
    // user chose stays chosen when it is still in the list.
    void showDifferences(const QVector<ZoneDifference> &differences);
    const QVector<ZoneDifference> &differences() const { return shown; }

    QTreeWidget *list() const { return rows; }
    QLabel *summary() const { return summaryLabel; }
    QPushButton *scannerButton() const { return compareScannerButton; }

    // The texts of a difference's row: the item, the store's value, the other's value.
    static QStringList rowTexts(const ZoneDifference &difference);

signals:
    void compareWithFileRequested();
    void compareWithScannerRequested();
    void differenceChosen(int channel, int area);

private:
    void onCurrentRowChanged();

    QLabel *summaryLabel = nullptr;
    QTreeWidget *rows = nullptr;
    QPushButton *compareFileButton = nullptr;
    QPushButton *compareScannerButton = nullptr;
    ZoneSet otherZones;
    QString otherName;
    bool scanner = false;
    QVector<ZoneDifference> shown;
};
