#include "zonecomparedialog.h"

#include "windowtexts.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
QString shapeText(qint64 type)
{
    switch (type) {
    case 0:
        return windowTr("无");
    case 1:
        return windowTr("多边形");
    case 2:
        return windowTr("圆弧");
    case 3:
        return windowTr("矩形");
    default:
        return windowTr("类型%1").arg(type);
    }
}

// A parameter as its selector on the zone page shows it.
QString parameterText(const QString &key, qint64 value)
{
    if (key == QLatin1String("onDelay") || key == QLatin1String("offDelay"))
        return QString::number(value * 40);
    if (key == QLatin1String("detectableSize"))
        return value == 0 ? QStringLiteral("0") : QString::number(value * 0.5, 'f', 1);
    return QString::number(value);
}

QString parameterName(const QString &key)
{
    if (key == QLatin1String("onDelay"))
        return windowTr("检测输出延时(ms)");
    if (key == QLatin1String("offDelay"))
        return windowTr("检测保持延时(ms)");
    if (key == QLatin1String("hysteresis"))
        return windowTr("滞后比例(%)");
    if (key == QLatin1String("detectableSize"))
        return windowTr("最小检测尺寸(°)");
    return windowTr("单值参数(%1)").arg(key);
}

QString pointText(const QPoint &p)
{
    return QStringLiteral("%1, %2").arg(p.x()).arg(p.y());
}

QString areaText(int area)
{
    static const char *const names[] = {"注意区", "预警区", "报警区"};
    return windowTr(names[qBound(0, area, 2)]);
}

enum Column
{
    ChannelColumn,
    AreaColumn,
    ItemColumn,
    StoreColumn,
    OtherColumn,
};
} // namespace

ZoneCompareDialog::ZoneCompareDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("zoneCompareDialog"));
    setWindowTitle(windowTr("比较区域"));
    summaryLabel = new QLabel(this);
    summaryLabel->setObjectName(QStringLiteral("compareSummaryLabel"));
    summaryLabel->setWordWrap(true);

    rows = new QTreeWidget(this);
    rows->setObjectName(QStringLiteral("differenceList"));
    rows->setRootIsDecorated(false);
    rows->setUniformRowHeights(true);
    rows->setSelectionBehavior(QAbstractItemView::SelectRows);
    rows->setColumnCount(5);
    rows->header()->setStretchLastSection(true);
    connect(rows, &QTreeWidget::currentItemChanged, this, &ZoneCompareDialog::onCurrentRowChanged);

    compareFileButton = new QPushButton(windowTr("与文件比较..."), this);
    compareFileButton->setObjectName(QStringLiteral("compareFileBtn"));
    compareScannerButton = new QPushButton(windowTr("与扫描仪比较"), this);
    compareScannerButton->setObjectName(QStringLiteral("compareScannerBtn"));
    compareScannerButton->setEnabled(false);
    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(compareFileButton, QDialogButtonBox::ActionRole);
    buttons->addButton(compareScannerButton, QDialogButtonBox::ActionRole);
    QPushButton *close = buttons->addButton(QDialogButtonBox::Close);
    close->setText(windowTr("关闭"));
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    connect(compareFileButton, &QPushButton::clicked, this,
            &ZoneCompareDialog::compareWithFileRequested);
    connect(compareScannerButton, &QPushButton::clicked, this,
            &ZoneCompareDialog::compareWithScannerRequested);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(summaryLabel);
    layout->addWidget(rows);
    layout->addWidget(buttons);
    resize(640, 420);
}

void ZoneCompareDialog::setOther(const ZoneSet &zones, const QString &name, bool fromScanner)
{
    otherZones = zones;
    otherName = name;
    scanner = fromScanner;
    shown.clear();
    rows->clear();
    rows->setHeaderLabels({windowTr("区域组"), windowTr("区域"), windowTr("项目"),
                           windowTr("区域存储"), scanner ? windowTr("扫描仪的区域") : name});
}

QStringList ZoneCompareDialog::rowTexts(const ZoneDifference &d)
{
    switch (d.kind) {
    case ZoneDifference::Shape:
        return {windowTr("形状"), shapeText(d.first), shapeText(d.second)};
    case ZoneDifference::VertexCount:
        return {windowTr("顶点数"), QString::number(d.first), QString::number(d.second)};
    case ZoneDifference::Vertex:
        return {windowTr("第%1个顶点").arg(d.vertex + 1), pointText(d.firstPoint),
                pointText(d.secondPoint)};
    case ZoneDifference::Parameter:
        return {parameterName(d.key), parameterText(d.key, d.first),
                parameterText(d.key, d.second)};
    }
    return {};
}

void ZoneCompareDialog::showDifferences(const QVector<ZoneDifference> &differences)
{
    const QString other = scanner ? windowTr("扫描仪") : otherName;
    if (differences.isEmpty())
        summaryLabel->setText(windowTr("区域存储与%1相同").arg(other));
    else if (differences.size() == 1)
        summaryLabel->setText(windowTr("区域存储与%1有1处不同").arg(other));
    else
        summaryLabel->setText(
            windowTr("区域存储与%1有%2处不同").arg(other).arg(differences.size()));
    if (differences == shown && rows->topLevelItemCount() == shown.size())
        return;
    const int chosen = rows->currentItem() ? rows->indexOfTopLevelItem(rows->currentItem()) : -1;
    const ZoneDifference kept = chosen >= 0 ? shown.value(chosen) : ZoneDifference();
    shown = differences;
    const QSignalBlocker quiet(rows);
    rows->clear();
    QList<QTreeWidgetItem *> items;
    items.reserve(differences.size());
    QTreeWidgetItem *current = nullptr;
    for (const ZoneDifference &d : differences) {
        const QStringList what = rowTexts(d);
        auto *item = new QTreeWidgetItem({QString::number(d.channel), areaText(d.area),
                                          what.value(0), what.value(1), what.value(2)});
        item->setData(ChannelColumn, Qt::UserRole, d.channel);
        item->setData(AreaColumn, Qt::UserRole, d.area);
        items.append(item);
        if (chosen >= 0 && d == kept)
            current = item;
    }
    rows->addTopLevelItems(items);
    if (current)
        rows->setCurrentItem(current);
    for (int c = ChannelColumn; c < OtherColumn; ++c)
        rows->resizeColumnToContents(c);
}

void ZoneCompareDialog::onCurrentRowChanged()
{
    const QTreeWidgetItem *item = rows->currentItem();
    if (item)
        emit differenceChosen(item->data(ChannelColumn, Qt::UserRole).toInt(),
                              item->data(AreaColumn, Qt::UserRole).toInt());
}
