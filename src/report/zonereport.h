#pragma once

#include "reportdata.h"
#include "reportplan.h"

#include <QCoreApplication>
#include <QString>

#include <functional>

class QIODevice;
class QPainter;
class QSaveFile;
struct FilterSetting;

// The commissioning report as a PDF: an A4 summary page (identity, settings, the date, the
// fingerprint, the channels with zones), then for every channel with a zone its three
// areas drawn to scale with the editor's colours and a table per area, and a footer on
// every page with the fingerprint and the page number. Everything is vector drawing and
// real text, in the language of the catalogue that is installed. Needs a QGuiApplication
// (for its fonts), but no widgets and no display.
class ZoneReport
{
    // The report's texts belong to the window's catalogue.
    Q_DECLARE_TR_FUNCTIONS(MainWindow)

public:
    explicit ZoneReport(ZoneReportData data);

    const ZoneReportData &data() const { return m_data; }
    const QByteArray &fingerprint() const { return m_fingerprint; }
    const QVector<ReportPagePlan> &pages() const { return m_pages; }
    int pageCount() const { return m_pages.size(); }

    // Called after each page with the pages done and the total; returning false stops
    // the report.
    using Progress = std::function<bool(int done, int total)>;
    // Paints every page into a PDF written to device (open for writing). False when
    // progress stopped it; what was written then is not a whole PDF.
    bool write(QIODevice *device, const Progress &progress = Progress()) const;

    // The page sizes and spaces the plan is made with, in millimetres.
    static ReportMetrics metrics();

private:
    void paintSummary(QPainter &painter) const;
    void paintChannel(QPainter &painter, const ReportPagePlan &page) const;
    void paintDrawing(QPainter &painter, int channel) const;
    double paintAreaPiece(QPainter &painter, int channel, const ReportPiece &piece,
                          double top) const;
    void paintFooter(QPainter &painter, int page) const;
    static QString settingCaption(const FilterSetting &setting);
    static QString areaName(int area);
    static QString shapeText(const ZoneAreaRecord &area);

    ZoneReportData m_data;
    QByteArray m_fingerprint;
    QVector<ReportPagePlan> m_pages;
};

// Writes the report through a QSaveFile: the file at path appears whole or not at all,
// and an existing file is replaced only by a complete report.
enum class ReportFileResult
{
    Written,
    Cancelled, // progress stopped it; nothing was written
    Failed,    // *error says why; nothing was written
};
ReportFileResult writeReportFile(const ZoneReport &report, const QString &path, QString *error,
                                 const ZoneReport::Progress &progress = {});
// The same in two steps, for a caller that makes sure of its target before it gathers what
// the report holds: the file opened (false, with *error, for a folder or a place that cannot
// be written), then the report written into it and committed, or the file cancelled.
bool openReportFile(QSaveFile *file, QString *error);
ReportFileResult writeReportFile(const ZoneReport &report, QSaveFile *file, QString *error,
                                 const ZoneReport::Progress &progress = {});
