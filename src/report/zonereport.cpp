// The report's frame: the plan, the PDF writer, the summary page, the footer and the file.
// The channel pages are in reportchannel.cpp.
#include "zonereport.h"

#include "filtersettings.h"
#include "reportstyle.h"
#include "zonefingerprint.h"

#include <QFileInfo>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

#include <utility>

using namespace ReportStyle;

namespace {

QString knownOr(const QString &text, const QString &unknown)
{
    return text.trimmed().isEmpty() ? unknown : text;
}

} // namespace

ZoneReport::ZoneReport(ZoneReportData data)
    : m_data(std::move(data)), m_fingerprint(zoneSetFingerprint(m_data.zones)),
      m_pages(planReportPages(m_data.zones, metrics()))
{
}

ReportMetrics ZoneReport::metrics()
{
    ReportMetrics m;
    m.firstPageSpace = kContentBottom - kTablesTop;
    m.nextPageSpace = kContentBottom - kContinuedTablesTop;
    m.headerHeight = kAreaHeaderHeight;
    m.continuedHeight = kContinuedTitleHeight;
    m.rowHeight = kVertexRowHeight;
    m.columns = kVertexColumns;
    return m;
}

bool ZoneReport::write(QIODevice *device, const Progress &progress) const
{
    QPdfWriter writer(device);
    writer.setResolution(kReportDpi);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
    writer.setTitle(tr("调试报告"));
    writer.setCreator(QStringLiteral("AreaScan Studio"));
    QPainter painter;
    if (!painter.begin(&writer))
        return false;
    for (int i = 0; i < m_pages.size(); ++i) {
        if (i > 0)
            writer.newPage();
        const ReportPagePlan &page = m_pages.at(i);
        if (page.channel < 0)
            paintSummary(painter);
        else
            paintChannel(painter, page);
        paintFooter(painter, i);
        if (progress && !progress(i + 1, m_pages.size())) {
            painter.end();
            return false;
        }
    }
    return painter.end();
}

void ZoneReport::paintSummary(QPainter &p) const
{
    const QString unknown = tr("未知");
    p.setPen(Qt::black);
    p.setFont(textFont(18, true));
    drawLine(p, QRectF(kLeft, kTop, kWidth, 10), tr("调试报告"));
    p.setPen(QPen(Qt::black, mm(0.3)));
    p.drawLine(QPointF(mm(kLeft), mm(kTop + 12)), QPointF(mm(kRight), mm(kTop + 12)));

    double y = kTop + 16;
    auto section = [&](const QString &title) {
        y += 3;
        p.setPen(Qt::black);
        p.setFont(textFont(11, true));
        drawLine(p, QRectF(kLeft, y, kWidth, 7), title);
        y += 8;
    };
    auto row = [&](const QString &label, const QString &value, const QFont &valueFont) {
        p.setPen(QColor(80, 80, 80));
        p.setFont(textFont(9));
        drawLine(p, QRectF(kLeft + 2, y, 60, 5.5), label);
        p.setPen(Qt::black);
        p.setFont(valueFont);
        drawLine(p, QRectF(kLeft + 62, y, kWidth - 62, 5.5), value);
        y += 5.5;
    };
    const QFont value = textFont(9);

    section(tr("设备"));
    row(tr("型号"), knownOr(m_data.model, unknown), value);
    row(tr("制造商"), knownOr(m_data.manufacturer, unknown), value);
    row(tr("序列号"), knownOr(m_data.serialNumber, unknown), value);
    row(tr("批次号"), knownOr(m_data.lot, unknown), value);
    row(tr("固件版本"), knownOr(m_data.firmwareVersion, unknown), value);
    row(tr("日期和时间"),
        m_data.createdAt.isValid()
            ? m_data.createdAt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
            : unknown,
        value);

    section(tr("滤波与输出设置"));
    const QVector<FilterSetting> &settings = filterSettings();
    for (int i = 0; i < settings.size(); ++i) {
        const FilterSetting &s = settings.at(i);
        const std::optional<int> wire = m_data.settings.value(i);
        QString text = unknown;
        if (wire && s.kind == FilterSetting::Flag) {
            text = *wire != 0 ? tr("开") : tr("关");
        } else if (wire) {
            const QString unit = settingUnit(s);
            text = settingText(s, *wire);
            if (!unit.isEmpty())
                text += unit == QLatin1String("mm") ? QStringLiteral(" mm") : unit;
        }
        row(settingCaption(s), text, value);
    }

    section(tr("全部区域"));
    row(tr("区域指纹（MD5）"), QString::fromLatin1(m_fingerprint), digitsFont(10, true));
    if (!m_data.zoneSource.isEmpty())
        row(tr("区域来源"), m_data.zoneSource, value);
    const QVector<int> channels = channelsWithZones(m_data.zones);
    QStringList numbers;
    for (int c : channels)
        numbers << QString::number(c);
    p.setPen(QColor(80, 80, 80));
    p.setFont(textFont(9));
    drawLine(p, QRectF(kLeft + 2, y, 60, 5.5), tr("含区域的区域组"));
    p.setPen(Qt::black);
    p.drawText(mmRect(kLeft + 62, y + 0.6, kWidth - 62, 30), Qt::AlignLeft | Qt::TextWordWrap,
               numbers.isEmpty() ? tr("无") : numbers.join(QStringLiteral(", ")));

    // Room for the one who commissioned the scanner to sign.
    const double sign = kContentBottom - 14;
    p.setFont(textFont(9));
    drawLine(p, QRectF(kLeft, sign, 25, 6), tr("签名"));
    drawLine(p, QRectF(kLeft + 100, sign, 20, 6), tr("日期"));
    p.setPen(QPen(Qt::black, mm(0.2)));
    p.drawLine(QPointF(mm(kLeft + 25), mm(sign + 5)), QPointF(mm(kLeft + 92), mm(sign + 5)));
    p.drawLine(QPointF(mm(kLeft + 120), mm(sign + 5)), QPointF(mm(kRight), mm(sign + 5)));
}

QString ZoneReport::settingCaption(const FilterSetting &setting)
{
    switch (setting.set) {
    case REQUEST_SET_FILTER_ENABLE:
        return tr("拖尾滤波开关");
    case REQUEST_SET_FILTER_STRENGTH:
        return tr("拖尾滤波的强度");
    case REQUEST_SET_FILTER_MIN_RANGE:
        return tr("拖尾滤波的最小距离");
    case REQUEST_SET_FILTER_MAX_RANGE:
        return tr("拖尾滤波的最大距离");
    case REQUEST_SET_AVERAGE_FILTER:
        return tr("平均滤波开关");
    case REQUEST_SET_INPUT_NONC:
        return tr("输入为常闭");
    case REQUEST_SET_OUTPUT_NONC:
        return tr("输出为常闭");
    case REQUEST_SET_MASK_INTENSITY:
        return tr("屏蔽的强度");
    case REQUEST_SET_MASK_MIN_ANGLE:
        return tr("屏蔽的最小角度");
    case REQUEST_SET_MASK_MAX_ANGLE:
        return tr("屏蔽的最大角度");
    default:
        return QString::fromLatin1(setting.name);
    }
}

void ZoneReport::paintFooter(QPainter &p, int page) const
{
    p.setPen(QPen(QColor(120, 120, 120), mm(0.2)));
    p.drawLine(QPointF(mm(kLeft), mm(kFooterLine)), QPointF(mm(kRight), mm(kFooterLine)));
    p.setPen(Qt::black);
    p.setFont(textFont(7.5));
    drawLine(p, QRectF(kLeft, kFooterLine + 1, 140, 5),
             tr("区域指纹 %1").arg(QString::fromLatin1(m_fingerprint)));
    drawLine(p, QRectF(kRight - 40, kFooterLine + 1, 40, 5),
             tr("第%1页，共%2页").arg(page + 1).arg(m_pages.size()),
             Qt::AlignRight | Qt::AlignVCenter);
}

bool openReportFile(QSaveFile *file, QString *error)
{
    if (QFileInfo(file->fileName()).isDir()) {
        *error = ZoneReport::tr("这是一个文件夹");
        return false;
    }
    if (!file->open(QIODevice::WriteOnly)) {
        *error = file->errorString();
        return false;
    }
    return true;
}

ReportFileResult writeReportFile(const ZoneReport &report, QSaveFile *file, QString *error,
                                 const ZoneReport::Progress &progress)
{
    bool stopped = false;
    const bool painted = report.write(file, [&](int done, int total) {
        if (progress && !progress(done, total)) {
            stopped = true;
            return false;
        }
        return true;
    });
    if (!painted) {
        file->cancelWriting();
        if (stopped)
            return ReportFileResult::Cancelled;
        *error = ZoneReport::tr("无法绘制报告");
        return ReportFileResult::Failed;
    }
    if (!file->commit()) {
        *error = file->errorString();
        return ReportFileResult::Failed;
    }
    return ReportFileResult::Written;
}

ReportFileResult writeReportFile(const ZoneReport &report, const QString &path, QString *error,
                                 const ZoneReport::Progress &progress)
{
    QSaveFile file(path);
    if (!openReportFile(&file, error))
        return ReportFileResult::Failed;
    return writeReportFile(report, &file, error, progress);
}
