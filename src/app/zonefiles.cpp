// User zone files: the whole zone store copied to a file of the user's choice and back.
#include "mainwindow.h"

#include "applog.h"
#include "outputfiles.h"
#include "ui_mainwindow.h"
#include "zoneeditor.h"
#include "zonefilecheck.h"
#include "zonestorefile.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QSaveFile>

QString MainWindow::zoneFileProblemText(const ZoneFileProblem &p) const
{
    const QString key = p.key;
    switch (p.kind) {
    case ZoneFileProblem::None:
        break;
    case ZoneFileProblem::NotARegularFile:
        return tr("它不是普通文件");
    case ZoneFileProblem::TooLarge:
        return tr("文件有%1字节，超过区域配置文件的上限%2字节")
            .arg(p.number)
            .arg(kMaxZoneFileBytes);
    case ZoneFileProblem::Unreadable:
        return p.detail;
    case ZoneFileProblem::NotIni:
        return tr("它不是INI格式的文件");
    case ZoneFileProblem::NoChannels:
        return tr("文件中没有区域组");
    case ZoneFileProblem::MissingChannel:
        return tr("缺少第%1区域组").arg(p.channel);
    case ZoneFileProblem::MissingKey:
        return tr("第%1区域组的%2缺少键%3").arg(p.channel).arg(areaName(p.area), key);
    case ZoneFileProblem::NotAWholeNumber:
        return tr("第%1区域组的%2的键%3的值“%4”不是整数")
            .arg(p.channel)
            .arg(areaName(p.area), key, p.detail);
    case ZoneFileProblem::OutOfRange:
        return tr("第%1区域组的%2的键%3的值%4超出%5至%6的范围")
            .arg(p.channel)
            .arg(areaName(p.area), key, p.detail)
            .arg(p.minimum)
            .arg(p.maximum);
    case ZoneFileProblem::PointsNotPairs:
        return tr("第%1区域组的%2的键%3不是每对后跟逗号的x,y坐标列表")
            .arg(p.channel)
            .arg(areaName(p.area), key);
    case ZoneFileProblem::TooManyPoints:
        return tr("第%1区域组的%2有%3个点，超过540个点")
            .arg(p.channel)
            .arg(areaName(p.area))
            .arg(p.number);
    }
    return QString();
}

QString MainWindow::askZoneFileName(bool save)
{
    if (zoneFileProvider)
        return zoneFileProvider(save);
    const QString filter = QStringLiteral("Settings (*.ini)");
    // The dialog does not ask whether to replace a file: that question comes after the
    // refusals, and only for a file that may be replaced.
    return save ? askSaveFileName(this, QStringLiteral("Save Settings File"), QStringLiteral("./"),
                                  filter)
                : QFileDialog::getOpenFileName(this, QStringLiteral("Open Settings File"),
                                               QStringLiteral("./"), filter);
}

void MainWindow::onSaveSettingsBtn()
{
    saveZonesToFile();
}

bool MainWindow::saveZonesToFile()
{
    const QString name = askZoneFileName(true);
    if (name.isEmpty())
        return false;
    const QString target =
        chosenOutputFile(this, name, !zoneFileProvider, tr("无法保存区域配置文件%1：%2"),
                         tr("%1是本工具自己的文件，区域配置文件不能保存在它上面"));
    if (target.isEmpty())
        return false;
    if (!saveChannelToConfig(editedChannel()))
        return false; // a file without the latest edits is not what the user asked for

    // The new file is written completely beside the old one and only then takes its
    // place, so a full disk or a read-only folder leaves the user's old file as it was.
    QString error;
    const QByteArray bytes = zoneStore->bytes(&error);
    if (error.isEmpty()) {
        QSaveFile file(target);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
            error = file.errorString();
    }
    if (!error.isEmpty()) {
        QMessageBox::critical(
            this, tr("提示"),
            tr("无法保存区域配置文件%1：%2").arg(QDir::toNativeSeparators(name), error),
            QMessageBox::Ok);
        return false;
    }
    return true;
}

void MainWindow::onLoadSettingsBtn()
{
    const QString name = askZoneFileName(false);
    if (!name.isEmpty())
        loadZoneFile(name);
}

bool MainWindow::loadZoneFile(const QString &name, QString *refusal)
{
    // Only a file the scanner could take exactly as it stands replaces the store: a wrong
    // or broken file would otherwise reach the scanner with the next upload and clear or
    // wrap its zones. A refused file leaves the store and the editor as they are.
    const ZoneFile file = readZoneFile(name);
    if (!file.ok()) {
        if (refusal)
            *refusal = describeZoneFileProblem(file.problem, name);
        qCDebug(lcApp) << file.read << ";wrtie:" << false << ";size:" << file.bytes.size()
                       << ";write size:" << 0;
        const QString shownName = QDir::toNativeSeparators(name);
        const ZoneFileProblem::Kind kind = file.problem.kind;
        const bool unread = kind == ZoneFileProblem::NotARegularFile ||
                            kind == ZoneFileProblem::TooLarge ||
                            (kind == ZoneFileProblem::Unreadable && !file.read);
        QMessageBox::critical(
            this, tr("提示"),
            unread
                ? tr("无法读取区域配置文件%1：%2").arg(shownName, zoneFileProblemText(file.problem))
                : tr("区域配置文件%1未加载：%2").arg(shownName, zoneFileProblemText(file.problem)),
            QMessageBox::Ok);
        return false;
    }
    // The editor takes the file as one step of its history and shows its channel 0; the
    // edits it held belong to the old store and are not saved over the new one.
    const ZoneStoreFile::Copy copy =
        editor->takeZoneFile(file, tr("加载%1").arg(QFileInfo(name).fileName()));
    qCDebug(lcApp) << file.read << ";wrtie:" << copy.opened << ";size:" << file.bytes.size()
                   << ";write size:" << copy.written;
    if (!copy.stored) {
        if (refusal)
            *refusal = QStringLiteral("cannot write the zone store config.ini: %1").arg(copy.error);
        QMessageBox::critical(this, tr("提示"),
                              tr("无法写入区域存储config.ini：%1").arg(copy.error),
                              QMessageBox::Ok);
        return false;
    }
    return true;
}
