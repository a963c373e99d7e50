#include "windowtexts.h"

#include "zonefilecheck.h"

#include <QCoreApplication>

QString windowTr(const char *source)
{
    return QCoreApplication::translate("MainWindow", source);
}

QString areaName(int area)
{
    switch (area) {
    case 0:
        return windowTr("注意区");
    case 1:
        return windowTr("预警区");
    default:
        return windowTr("报警区");
    }
}

QString zoneFileProblemText(const ZoneFileProblem &p)
{
    const QString key = p.key;
    switch (p.kind) {
    case ZoneFileProblem::None:
        break;
    case ZoneFileProblem::NotARegularFile:
        return windowTr("它不是普通文件");
    case ZoneFileProblem::TooLarge:
        return windowTr("文件有%1字节，超过区域配置文件的上限%2字节")
            .arg(p.number)
            .arg(kMaxZoneFileBytes);
    case ZoneFileProblem::Unreadable:
        return p.detail;
    case ZoneFileProblem::NotIni:
        return windowTr("它不是INI格式的文件");
    case ZoneFileProblem::NoChannels:
        return windowTr("文件中没有区域组");
    case ZoneFileProblem::MissingChannel:
        return windowTr("缺少第%1区域组").arg(p.channel);
    case ZoneFileProblem::MissingKey:
        return windowTr("第%1区域组的%2缺少键%3").arg(p.channel).arg(areaName(p.area), key);
    case ZoneFileProblem::NotAWholeNumber:
        return windowTr("第%1区域组的%2的键%3的值“%4”不是整数")
            .arg(p.channel)
            .arg(areaName(p.area), key, p.detail);
    case ZoneFileProblem::OutOfRange:
        return windowTr("第%1区域组的%2的键%3的值%4超出%5至%6的范围")
            .arg(p.channel)
            .arg(areaName(p.area), key, p.detail)
            .arg(p.minimum)
            .arg(p.maximum);
    case ZoneFileProblem::PointsNotPairs:
        return windowTr("第%1区域组的%2的键%3不是每对后跟逗号的x,y坐标列表")
            .arg(p.channel)
            .arg(areaName(p.area), key);
    case ZoneFileProblem::TooManyPoints:
        return windowTr("第%1区域组的%2有%3个点，超过540个点")
            .arg(p.channel)
            .arg(areaName(p.area))
            .arg(p.number);
    }
    return QString();
}
