#include "backuprestore.h"

#include "filtersettings.h"
#include "outputfiles.h"
#include "reportdata.h"
#include "scannerread.h"
#include "scannerrestore.h"
#include "scannersession.h"
#include "ui_mainwindow.h"
#include "windowmodes.h"
#include "windowtexts.h"
#include "zoneeditor.h"
#include "zonefingerprint.h"
#include "zonestorefile.h"
#include "zonetransfer.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QMainWindow>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#include <QStatusBar>

namespace {

// A restore's answer to the reads comes from the scanner's own sense of time; a little
// longer than the window's own zone read waits.
constexpr int kQuestionTimeoutMs = 3000;

QString dateText(const QDateTime &when)
{
    return when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString escaped(const QString &text)
{
    return text.toHtmlEscaped();
}

} // namespace

BackupRestore::BackupRestore(Ui::MainWindow *form, QMainWindow *window, ScannerSession *session,
                             WindowModes *modes, ZoneStoreFile *store, ZoneEditor *editor,
                             ZoneTransfer *transfer, QObject *parent)
    : QObject(parent), m_form(form), m_window(window), m_session(session), m_modes(modes),
      m_store(store), m_editor(editor), m_transfer(transfer),
      m_read(new ScannerRead(session, this)), m_restore(new ScannerRestore(session, this))
{
    // The mode table decides when the two actions can be used.
    connect(form->actionBackupScanner, &QAction::triggered, this, &BackupRestore::onBackupAction);
    connect(form->actionRestoreScanner, &QAction::triggered, this, &BackupRestore::onRestoreAction);

    m_progress = new QProgressBar(window);
    m_progress->setObjectName(QStringLiteral("backupProgressBar"));
    m_progress->hide();
    window->statusBar()->addPermanentWidget(m_progress);

    m_read->setTimeout(kQuestionTimeoutMs);
    m_restore->setTimeout(kQuestionTimeoutMs);
    connect(m_read, &ScannerRead::progress, m_progress, &QProgressBar::setValue);
    // Outcomes are taken once the receive handler that found them has returned: they open
    // boxes.
    connect(m_read, &ScannerRead::finished, this, &BackupRestore::onBackupRead,
            Qt::QueuedConnection);
    connect(m_read, &ScannerRead::failed, this, &BackupRestore::onBackupFailed,
            Qt::QueuedConnection);
    connect(m_restore, &ScannerRestore::progress, this,
            [this](RestoreOutcome::Stage stage, int done, int total) {
                static const char *const formats[] = {
                    "正在读取扫描仪… %v/%m", "正在写入设置… %v/%m", "正在写入设置… %v/%m",
                    "正在写入区域组… %v/%m", "正在读回核对… %v/%m"};
                m_progress->setFormat(windowTr(formats[stage]));
                m_progress->setRange(0, total);
                m_progress->setValue(done);
            });
    connect(m_restore, &ScannerRestore::planReady, this, &BackupRestore::onPlanReady,
            Qt::QueuedConnection);
    connect(m_restore, &ScannerRestore::finished, this, &BackupRestore::onRestoreFinished,
            Qt::QueuedConnection);
}

BackupRestore::~BackupRestore() = default;

bool BackupRestore::isRunning() const
{
    return m_read->isRunning() || m_restore->isRunning() || !m_backupPath.isEmpty() ||
           !m_restorePath.isEmpty();
}

void BackupRestore::stop()
{
    const SessionFailure::Kind why =
        m_session->isLost() ? SessionFailure::PortLost : SessionFailure::Closed;
    if (m_read->isRunning())
        m_read->stop(why);
    if (m_restore->isRunning())
        m_restore->stop(why);
}

void BackupRestore::begin(bool restore, const QString &format, int total)
{
    m_progress->setFormat(format);
    m_progress->setRange(0, total);
    m_progress->setValue(0);
    m_progress->show();
    m_modes->enter(restore ? WindowMode::Restoring : WindowMode::BackingUp);
}

// Back to the mode the job interrupted, unless the link has gone meanwhile.
void BackupRestore::end()
{
    m_progress->hide();
    m_modes->leave(WindowMode::BackingUp);
    m_modes->leave(WindowMode::Restoring);
}

void BackupRestore::onBackupAction()
{
    QString path;
    if (m_fileProvider) {
        path = m_fileProvider(true);
    } else {
        const QString serial = m_form->deviceSerialLabel->text().trimmed();
        const QString proposed =
            QStringLiteral("backup-%1%2.ini")
                .arg(serial.isEmpty() ? QString() : serial + QLatin1Char('-'),
                     QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
        path = askSaveFileName(m_window, windowTr("备份扫描仪"), proposed,
                               QStringLiteral("Settings (*.ini)"));
    }
    if (!path.isEmpty())
        backUpTo(path);
}

bool BackupRestore::backUpTo(const QString &chosen)
{
    if (isRunning() || !m_modes->isOn(WindowModes::WholeScanner))
        return false;
    QString path = chosen;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".ini");
    path = chosenOutputFile(m_window, path, !m_fileProvider, windowTr("无法写入备份%1：%2"),
                            windowTr("%1是本工具自己的文件，备份不能保存在它上面"));
    if (path.isEmpty())
        return false;
    if (!m_read->start())
        return false;
    m_backupPath = path;
    begin(false, windowTr("正在备份扫描仪… %v/%m"), ScannerRead::stepCount());
    return true;
}

void BackupRestore::onBackupRead()
{
    const QString path = std::exchange(m_backupPath, QString());
    end();
    ScannerBackup backup = m_read->result();
    backup.identity.model = m_form->deviceModelLabel->text();
    backup.identity.manufacturer = m_form->manufacturerLabel->text();
    const QByteArray text = backupFileText(backup);
    QSaveFile out(path);
    const QString shown = QDir::toNativeSeparators(path);
    if (text.isEmpty() || !out.open(QIODevice::WriteOnly) || out.write(text) != text.size() ||
        !out.commit()) {
        QMessageBox::critical(m_window, windowTr("提示"),
                              windowTr("无法写入备份%1：%2").arg(shown, out.errorString()),
                              QMessageBox::Ok);
        return;
    }
    QMessageBox::information(m_window, windowTr("备份扫描仪"),
                             windowTr("扫描仪%1已备份到%2（区域指纹%3）")
                                 .arg(backup.identity.serial, shown,
                                      QString::fromLatin1(zoneSetFingerprint(backup.zones))),
                             QMessageBox::Ok);
}

void BackupRestore::onBackupFailed(const SessionFailure &failure)
{
    m_backupPath.clear();
    end();
    QMessageBox::critical(m_window, windowTr("提示"),
                          windowTr("备份未完成：%1，未写入备份文件").arg(failureText(failure)),
                          QMessageBox::Ok);
}

void BackupRestore::onRestoreAction()
{
    const QString path =
        m_fileProvider
            ? m_fileProvider(false)
            : QFileDialog::getOpenFileName(m_window, windowTr("恢复到扫描仪"), QStringLiteral("./"),
                                           QStringLiteral("Settings (*.ini)"));
    if (!path.isEmpty())
        restoreFrom(path);
}

bool BackupRestore::restoreFrom(const QString &path)
{
    if (isRunning() || !m_modes->isOn(WindowModes::WholeScanner))
        return false;
    // Every part of the file is checked before anything is sent.
    const BackupFile file = readBackupFile(path);
    if (!file.ok()) {
        QMessageBox::critical(m_window, windowTr("提示"),
                              windowTr("无法恢复%1：%2，未向扫描仪发送任何内容")
                                  .arg(QDir::toNativeSeparators(path), problemText(file.problem)),
                              QMessageBox::Ok);
        return false;
    }
    if (!m_restore->start(file.backup))
        return false;
    m_restorePath = path;
    begin(true, windowTr("正在读取扫描仪… %v/%m"), ScannerRead::stepCount());
    return true;
}

void BackupRestore::onPlanReady()
{
    if (!m_restore->isRunning())
        return;
    const RestorePlan &plan = m_restore->plan();
    QMessageBox box(
        QMessageBox::Question, windowTr("恢复到扫描仪"),
        windowTr("要把备份%1恢复到这台扫描仪吗？").arg(QFileInfo(m_restorePath).fileName()),
        QMessageBox::NoButton, m_window);
    box.setObjectName(QStringLiteral("restoreSummary"));
    box.setTextFormat(Qt::RichText);
    QString details = planText(plan);
    // The editor's latest edits count as the store's.
    m_editor->saveChannel();
    if (m_store->hasUnsentChanges())
        details +=
            QStringLiteral("<p>%1</p>")
                .arg(escaped(windowTr("本程序中尚未上传的区域修改将被扫描仪恢复后的区域替换。")));
    box.setInformativeText(details);
    // Wide enough that a row of the table stays on one line.
    box.setStyleSheet(QStringLiteral("QLabel#qt_msgbox_informativelabel { min-width: 34em; }"));
    QPushButton *restore = box.addButton(windowTr("恢复"), QMessageBox::AcceptRole);
    box.addButton(windowTr("取消"), QMessageBox::RejectRole);
    box.setDefaultButton(restore);
    box.exec();
    // The link may have gone while the question was open.
    if (box.clickedButton() == restore && m_restore->isRunning())
        m_restore->proceed();
    else
        m_restore->cancel();
}

void BackupRestore::onRestoreFinished()
{
    const QString path = std::exchange(m_restorePath, QString());
    takeScannerZones();
    end();
    // Zones that could not be read after connecting are the store's now.
    const RestoreOutcome::Result result = m_restore->outcome().result;
    if ((result == RestoreOutcome::Equal || result == RestoreOutcome::Differs) &&
        m_modes->mode() == WindowMode::NoZones)
        m_modes->setMode(WindowMode::Ready);
    const RestoreOutcome &o = m_restore->outcome();
    if (o.result == RestoreOutcome::Cancelled) {
        m_window->statusBar()->showMessage(windowTr("未恢复：没有向扫描仪写入任何内容"), 5000);
        return;
    }
    if (o.result == RestoreOutcome::Equal) {
        m_restored = std::make_unique<Restored>();
        m_restored->connection = m_session->connection();
        m_restored->file = QFileInfo(path).fileName();
        m_restored->backup = m_restore->backup();
        QMessageBox::information(
            m_window, windowTr("恢复到扫描仪"),
            windowTr("恢复完成：扫描仪%1的十项设置和全部区域组与备份%2一致（区域指纹%3）")
                .arg(o.readBack.identity.serial, QFileInfo(path).fileName(),
                     QString::fromLatin1(zoneSetFingerprint(o.readBack.zones))),
            QMessageBox::Ok);
        return;
    }
    m_restored.reset();
    QMessageBox::critical(m_window, windowTr("提示"), outcomeText(), QMessageBox::Ok);
}

// The store takes what the scanner holds now: all of it when it was read back, otherwise
// the channels the zone write had stored.
void BackupRestore::takeScannerZones()
{
    const RestoreOutcome &o = m_restore->outcome();
    if (o.result == RestoreOutcome::Equal || o.result == RestoreOutcome::Differs) {
        m_store->setZones(o.readBack.zones);
        m_transfer->zonesReachedScanner();
    } else if (o.zonesStored > 0) {
        for (int c = 0; c < o.zonesStored; ++c)
            m_store->setScannerChannel(c, m_restore->backup().zones.channel(c));
        m_store->flush();
    } else {
        return;
    }
    // As after a read: the editor shows the store's channel, and nothing of before can be
    // taken back over the scanner's zones.
    m_editor->dropEdits();
    m_editor->takeChannel(m_editor->editedChannel());
    m_editor->clearHistory();
    emit zonesUpdated();
}

void BackupRestore::describeRestoredScanner(ZoneReportData *data) const
{
    if (!m_restored || m_restored->connection != m_session->connection() ||
        m_store->hasUnsentChanges() || m_store->zones() != m_restored->backup.zones)
        return;
    const QVector<int> &restored = m_restored->backup.settings;
    for (int i = 0; i < restored.size(); ++i)
        if (data->settings.value(i) != restored.at(i))
            return;
    const ScannerBackup &b = m_restored->backup;
    if (data->model.isEmpty())
        data->model = b.identity.model;
    if (data->manufacturer.isEmpty())
        data->manufacturer = b.identity.manufacturer;
    data->zoneSource = windowTr("从备份%1恢复（扫描仪%2，%3备份）")
                           .arg(m_restored->file, b.identity.serial, dateText(b.createdAt));
}

QString BackupRestore::settingCaption(int setting) const
{
    switch (filterSettings().at(setting).set) {
    case REQUEST_SET_FILTER_ENABLE:
        return m_form->filterEnableCheckBox->text();
    case REQUEST_SET_AVERAGE_FILTER:
        return m_form->averageFilterCheckBox->text();
    case REQUEST_SET_INPUT_NONC:
        return m_form->inputNoncCheckBox->text();
    case REQUEST_SET_OUTPUT_NONC:
        return m_form->outputNoncCheckBox->text();
    case REQUEST_SET_FILTER_STRENGTH:
        return m_form->label_41->text();
    case REQUEST_SET_FILTER_MIN_RANGE:
        return m_form->label_42->text();
    case REQUEST_SET_FILTER_MAX_RANGE:
        return m_form->label_43->text();
    case REQUEST_SET_MASK_INTENSITY:
        return m_form->label_44->text();
    case REQUEST_SET_MASK_MIN_ANGLE:
        return m_form->label_45->text();
    case REQUEST_SET_MASK_MAX_ANGLE:
        return m_form->label_46->text();
    default:
        return QLatin1String(filterSettings().at(setting).name);
    }
}

QString BackupRestore::settingValue(int setting, int wire) const
{
    const FilterSetting &s = filterSettings().at(setting);
    if (s.kind == FilterSetting::Flag)
        return wire != 0 ? windowTr("开") : windowTr("关");
    const QString unit = settingUnit(s);
    return settingText(s, wire) + (unit == QLatin1String("mm") ? QStringLiteral(" mm") : unit);
}

QString BackupRestore::settingList(const QVector<int> &settings) const
{
    QStringList names;
    for (int s : settings)
        names << settingCaption(s);
    return names.join(windowTr("、"));
}

QString BackupRestore::planText(const RestorePlan &plan) const
{
    const ScannerBackup &backup = m_restore->backup();
    QString text = QStringLiteral("<p>%1</p>")
                       .arg(escaped(windowTr("备份来自扫描仪%1（固件%2），%3备份。")
                                        .arg(plan.backupSerial, plan.backupFirmware,
                                             dateText(backup.createdAt))));
    QString rows;
    const auto row = [&rows](const QString &what, const QString &from, const QString &to) {
        rows += QStringLiteral("<tr><td>%1</td><td>%2</td><td>&rarr; %3</td></tr>")
                    .arg(escaped(what), escaped(from), escaped(to));
    };
    rows += QStringLiteral("<tr><th></th><th align=left>%1</th><th align=left>%2</th></tr>")
                .arg(escaped(windowTr("扫描仪现在")), escaped(windowTr("恢复后")));
    // The serial and the firmware are the scanner's own: named, never changed.
    const QString unchanged = windowTr("%1（不变）");
    row(windowTr("序列号"), plan.scannerSerial, unchanged.arg(plan.scannerSerial));
    if (plan.firmwareDiffers())
        row(windowTr("固件版本"), plan.scannerFirmware, unchanged.arg(plan.scannerFirmware));
    for (const SettingChange &c : plan.settings)
        row(settingCaption(c.setting), settingValue(c.setting, c.from),
            settingValue(c.setting, c.to));
    if (!plan.channels.isEmpty())
        row(windowTr("全部区域"),
            windowTr("第%1区域组与备份不同").arg(channelRanges(plan.channels)),
            windowTr("备份的区域"));
    text += QStringLiteral("<table cellspacing=4>%1</table>").arg(rows);
    if (plan.changesNothing())
        text += QStringLiteral("<p>%1</p>")
                    .arg(escaped(windowTr("设置和区域已与备份一致，只会保存设置并读回核对。")));
    return text;
}

QString BackupRestore::failureText(const SessionFailure &f) const
{
    const FilterSetting *setting = filterSettingOf(f.step);
    switch (f.kind) {
    case SessionFailure::PortLost:
        return windowTr("串口断开连接");
    case SessionFailure::Closed:
        return windowTr("连接已关闭");
    case SessionFailure::Refused:
        if (f.step == REQUEST_WRITE_AREA)
            return windowTr("扫描仪拒绝了第%1区域组（状态%2）").arg(f.index).arg(f.status);
        if (f.step == REQUEST_SAVE_PARAMETERS)
            return windowTr("扫描仪拒绝保存设置（状态%1）").arg(f.status);
        if (setting)
            return windowTr("扫描仪拒绝了设置“%1”（状态%2）")
                .arg(settingCaption(int(setting - filterSettings().constData())))
                .arg(f.status);
        return windowTr("扫描仪拒绝了请求（状态%1）").arg(f.status);
    case SessionFailure::Unconfirmed:
        return windowTr("扫描仪中的第%1区域组与写入的不一致").arg(f.index);
    default:
        break;
    }
    if (f.step == REQUEST_READ_AREA || f.step == REQUEST_WRITE_AREA)
        return windowTr("扫描仪在%1毫秒内未应答第%2区域组").arg(f.waitedMs).arg(f.index);
    return windowTr("扫描仪在%1毫秒内未应答").arg(f.waitedMs);
}

QString BackupRestore::outcomeText() const
{
    const RestoreOutcome &o = m_restore->outcome();
    const RestorePlan &plan = m_restore->plan();
    QStringList parts;
    if (o.result == RestoreOutcome::Differs) {
        for (const SettingChange &c : o.remaining.settings)
            parts << windowTr("“%1”读回为%2，备份为%3")
                         .arg(settingCaption(c.setting), settingValue(c.setting, c.from),
                              settingValue(c.setting, c.to));
        if (!o.remaining.channels.isEmpty())
            parts << windowTr("第%1区域组与备份不同").arg(channelRanges(o.remaining.channels));
        return windowTr("恢复后扫描仪与备份不一致：%1").arg(parts.join(windowTr("；")));
    }
    switch (o.failedStage) {
    case RestoreOutcome::ReadingScanner:
        return windowTr("无法读取扫描仪：%1，未写入任何内容").arg(failureText(o.failure));
    case RestoreOutcome::ReadingBack:
        return windowTr("已全部写入，但读回核对失败：%1").arg(failureText(o.failure));
    default:
        break;
    }
    if (o.failedSetting >= 0 && o.failure.kind == SessionFailure::Rejected) {
        int wanted = 0;
        for (const SettingChange &c : plan.settings)
            if (c.setting == o.failedSetting)
                wanted = c.to;
        parts << windowTr("扫描仪未接受设置“%1”=%2，读回为%3")
                     .arg(settingCaption(o.failedSetting), settingValue(o.failedSetting, wanted),
                          settingValue(o.failedSetting, o.keptValue));
    } else {
        parts << failureText(o.failure);
    }
    if (!o.settingsWritten.isEmpty())
        parts << (o.settingsSaved ? windowTr("已写入并保存的设置：%1")
                                  : windowTr("已写入但未保存的设置：%1"))
                     .arg(settingList(o.settingsWritten));
    QVector<int> unwritten;
    for (int i = o.settingsWritten.size(); i < plan.settings.size(); ++i)
        unwritten << plan.settings.at(i).setting;
    if (!unwritten.isEmpty())
        parts << windowTr("未写入的设置：%1").arg(settingList(unwritten));
    if (!plan.channels.isEmpty()) {
        if (o.zonesStored == 0)
            parts << windowTr("未写入任何区域组（第%1区域组与备份不同）")
                         .arg(channelRanges(plan.channels));
        else
            parts << windowTr("已写入第0至%1区域组，第%2至63区域组未写入")
                         .arg(o.zonesStored - 1)
                         .arg(o.zonesStored);
    }
    return windowTr("恢复未完成：%1").arg(parts.join(windowTr("；")));
}

QString BackupRestore::problemText(const BackupProblem &p) const
{
    const QString where = QStringLiteral("[%1] %2").arg(p.section, p.key);
    switch (p.kind) {
    case BackupProblem::None:
        return QString();
    case BackupProblem::File:
        return zoneFileProblemText(p.zones);
    case BackupProblem::NotABackup:
        return windowTr("这是区域配置文件，不是备份：没有[Backup]、[Device]或[Filter]"
                        "节；区域配置文件请用“加载配置”后上传");
    case BackupProblem::NewerFormat:
        return windowTr("备份格式%1不能被这个版本读取").arg(p.detail);
    case BackupProblem::MissingKey:
        return windowTr("缺少%1").arg(where);
    case BackupProblem::NotAText:
        return windowTr("%1不是普通文本").arg(where);
    case BackupProblem::NotAWholeNumber:
        return windowTr("%1的值“%2”不是整数").arg(where, p.detail);
    case BackupProblem::OutOfRange:
        return windowTr("%1的值%2超出0至%3").arg(where, p.detail).arg(p.maximum);
    case BackupProblem::BadDate:
        return windowTr("%1的值“%2”不是日期和时间").arg(where, p.detail);
    case BackupProblem::BadFingerprint:
        return windowTr("%1的值“%2”不是32位十六进制数").arg(where, p.detail);
    case BackupProblem::WrongFingerprint:
        return windowTr("区域与备份的区域指纹%1不符（备份之后被修改过）").arg(p.detail);
    }
    return QString();
}
