#include "zonetransfer.h"

#include "scannersession.h"
#include "ui_mainwindow.h"
#include "windowmodes.h"
#include "windowtexts.h"
#include "zoneeditor.h"
#include "zonefilecheck.h"
#include "zonefingerprint.h"
#include "zoneread.h"
#include "zonestorefile.h"
#include "zonewrite.h"

#include <QLabel>
#include <QMessageBox>
#include <QTimer>

#include <algorithm>

ZoneTransfer::ZoneTransfer(Ui::MainWindow *f, QWidget *window, ScannerSession *session,
                           WindowModes *modes, ZoneStoreFile *store, ZoneEditor *editor,
                           std::function<int()> deviceChannel, QObject *parent)
    : QObject(parent), form(f), window(window), session(session), modes(modes), store(store),
      editor(editor), deviceChannel(std::move(deviceChannel))
{
    connect(form->downLoadBtn, &QPushButton::clicked, this, &ZoneTransfer::readEditedChannel);
    connect(form->uploadBtn, &QPushButton::clicked, this, &ZoneTransfer::upload);

    // Under the transfer buttons: what the scanner holds since the last full read or upload.
    fingerprintLabel = new QLabel(form->areasMonitoningGroupBox);
    fingerprintLabel->setObjectName(QStringLiteral("zoneFingerprintLabel"));
    fingerprintLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // The English label and 32 digits are wider than the column: the digits go on a line
    // of their own rather than being cut off.
    fingerprintLabel->setWordWrap(true);
    fingerprintLabel->hide();
    const int below = form->areasMonitoringLayout->indexOf(form->progressLayout);
    form->areasMonitoringLayout->insertWidget(below + 1, fingerprintLabel);

    ZoneRead *read = session->zoneRead();
    connect(read, &ZoneRead::channelReceived, this, &ZoneTransfer::storeScannerChannel);
    connect(read, &ZoneRead::progress, this, &ZoneTransfer::showReadProgress);
    connect(read, &ZoneRead::started, this, &ZoneTransfer::onReadStarted);
    connect(read, &ZoneRead::finished, this, &ZoneTransfer::onReadFinished);
    connect(read, &ZoneRead::failed, this, &ZoneTransfer::onReadFailed);
    // Changes the scanner never received are not read over without asking.
    session->setZoneReadGate([this]() { return !uploadUnsentZonesInstead(); });

    ZoneWrite *write = session->zoneWrite();
    connect(write, &ZoneWrite::progress, this, &ZoneTransfer::showWriteProgress);
    connect(write, &ZoneWrite::finished, this, &ZoneTransfer::onWriteFinished);
    connect(write, &ZoneWrite::failed, this, &ZoneTransfer::onWriteFailed);
}

void ZoneTransfer::readEditedChannel()
{
    session->readChannel(editor->editedChannel());
}

// A channel as the scanner sent it goes into the store before the window hears of it.
void ZoneTransfer::storeScannerChannel(int channel, const ZoneChannelRecord &areas)
{
    // Read for a comparison: the store stays as it is.
    if (comparison) {
        if (channel >= 0 && channel < kZoneChannelCount)
            comparison->setChannel(channel, areas);
        return;
    }
    store->setScannerChannel(channel, areas);
    // The steps of the history were made on zones the scanner's now replace.
    editor->clearHistory();
}

void ZoneTransfer::zonesReachedScanner()
{
    store->markOnScanner();
    fingerprintLabel->setText(
        windowTr("区域指纹：%1").arg(QString::fromLatin1(zoneSetFingerprint(store->zones()))));
    fingerprintLabel->show();
}

void ZoneTransfer::showReadProgress(int index)
{
    if (!session->zoneRead()->isRunning()) {
        // A single read: the editor takes it only if it is the channel being edited (a late
        // answer for another channel must not land in the editor's records).
        if (index == editor->editedChannel())
            editor->takeChannel(index);
        emit zonesUpdated();
        return;
    }
    form->readAreaProgressBar->setValue(index);
}

void ZoneTransfer::onReadStarted()
{
    if (comparison)
        modes->enter(WindowMode::Comparing);
    else
        modes->setMode(WindowMode::Reading);
}

bool ZoneTransfer::readForComparison()
{
    if (!modes->isOn(WindowModes::CompareScanner))
        return false;
    // The store as the editor has it; the scanner's zones go into a set of their own.
    editor->saveChannel();
    comparison = std::make_unique<ZoneSet>();
    session->zoneRead()->start();
    if (session->zoneRead()->isRunning())
        return true;
    comparison.reset();
    return false;
}

void ZoneTransfer::onReadFinished()
{
    if (comparison) {
        const std::unique_ptr<ZoneSet> read = std::move(comparison);
        modes->leave(WindowMode::Comparing);
        emit comparisonRead(*read);
        return;
    }
    zonesReachedScanner();

    // The store now holds exactly what the scanner sent. The editor's start-up records must
    // not be saved over it, so the editor drops its edits before it takes the scanner's
    // current channel.
    const int reported = deviceChannel();
    const int channel = reported >= 0 && reported < form->channels->count() ? reported : 0;
    editor->dropEdits();
    if (form->channels->currentIndex() != channel)
        form->channels->setCurrentIndex(channel);
    else
        editor->showChannel(channel);
    QTimer::singleShot(100, session, [this, channel]() { session->readChannel(channel); });
    modes->setMode(WindowMode::Ready);
    emit zonesUpdated();
}

void ZoneTransfer::onReadFailed(const SessionFailure &failure)
{
    const bool linkGone =
        failure.kind == SessionFailure::Closed || failure.kind == SessionFailure::PortLost;
    if (comparison) {
        comparison.reset();
        modes->leave(WindowMode::Comparing);
        emit comparisonFailed(failure);
        return;
    }
    // Closing the link (or losing it) puts the window back itself.
    if (linkGone)
        return;
    // Settings and navigation stay usable; the zone page stays locked because an upload
    // of zones that were never read would overwrite the scanner's own.
    modes->setMode(WindowMode::NoZones);
    QMessageBox::critical(nullptr, windowTr("提示"), windowTr("读取区域信息超时，未能读取区域"),
                          QMessageBox::Ok);
}

bool ZoneTransfer::storeFitsTheScanner(QVector<QByteArray> *blocks)
{
    // Every channel is checked as strictly as a zone file from outside: a value the block
    // cannot carry, or a broken points text or a missing key copied in from a file, would
    // be wrapped, cut or sent as 0 on the wire.
    const ZoneFileProblem problem = store->findProblem();
    if (!problem) {
        *blocks = store->zones().blocks();
        return true;
    }
    QString text;
    if (problem.kind == ZoneFileProblem::TooManyPoints)
        text = windowTr("第%1区域组的%2有%3个点，超过540个点，未上传任何区域")
                   .arg(problem.channel)
                   .arg(areaName(problem.area))
                   .arg(problem.number);
    else if (problem.kind == ZoneFileProblem::OutOfRange && problem.key == QLatin1String("Points"))
        text = windowTr("第%1区域组的%2有超出-32768至32767毫米的坐标，未上传任何区域")
                   .arg(problem.channel)
                   .arg(areaName(problem.area));
    else
        text = windowTr("区域存储config.ini无法上传：%1，未上传任何区域")
                   .arg(zoneFileProblemText(problem));
    QMessageBox::critical(nullptr, windowTr("提示"), text, QMessageBox::Ok);
    return false;
}

void ZoneTransfer::upload()
{
    startUpload(false);
}

void ZoneTransfer::uploadFactoryZones()
{
    startUpload(true);
}

void ZoneTransfer::startUpload(bool factory)
{
    // The upload sends the store: without the edited channel in it, it would report as
    // uploaded what never left the editor. The factory zones replaced the editor's.
    if (!factory && !editor->saveChannel())
        return;
    // A zone the scanner cannot hold would be cut or wrapped on the wire: check every
    // channel before the first byte goes out.
    QVector<QByteArray> blocks;
    if (!storeFitsTheScanner(&blocks)) {
        emit uploadEnded();
        return;
    }
    factoryUpload = factory;
    modes->enter(factory ? WindowMode::RestoringFactory : WindowMode::Writing);
    // What goes out is what was checked, encoded once for all 64 channels. Without a link
    // nothing can start, which is a stop at the first channel.
    if (!session->zoneWrite()->start(blocks)) {
        SessionFailure failure;
        failure.step = REQUEST_BEGIN_AREA_WRITE;
        failure.index = 0;
        onWriteFailed(failure);
    }
}

void ZoneTransfer::showWriteProgress(int index)
{
    if (index >= 63)
        return; // the end of the write is onWriteFinished's
    QProgressBar *bar = factoryUpload ? form->resetFactoryProgressBar : form->progressBar;
    bar->setValue(index);
}

void ZoneTransfer::onWriteFinished()
{
    const bool factory = factoryUpload;
    zonesReachedScanner(); // every channel acknowledged: the scanner holds the store
    endUpload();
    if (factory)
        session->readChannel(editor->editedChannel());
    emit zonesUpdated();
}

void ZoneTransfer::endUpload()
{
    // Back to what the upload interrupted, unless a lost or closed link has put the window
    // back already.
    modes->leave(factoryUpload ? WindowMode::RestoringFactory : WindowMode::Writing);
    factoryUpload = false;
    emit uploadEnded();
}

void ZoneTransfer::onWriteFailed(const SessionFailure &failure)
{
    endUpload();
    // A lost link says itself where the upload stopped.
    if (failure.kind == SessionFailure::Closed || failure.kind == SessionFailure::PortLost)
        return;
    const int channel = std::max(0, failure.index);
    QString text;
    if (failure.kind == SessionFailure::Refused && failure.step == REQUEST_WRITE_AREA)
        text = windowTr("区域上传在第%1区域组处停止：扫描仪拒绝了该区域组（状态%2）")
                   .arg(channel)
                   .arg(failure.status);
    else if (failure.kind == SessionFailure::Unconfirmed)
        text =
            windowTr("区域上传在第%1区域组处停止：扫描仪中的该区域组与上传的不一致").arg(channel);
    else
        text = windowTr("区域上传在第%1区域组处停止：扫描仪未确认该区域组").arg(channel);
    QMessageBox::critical(nullptr, windowTr("提示"), text, QMessageBox::Ok);
}
