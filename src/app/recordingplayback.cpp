#include "recordingplayback.h"

#include "playbacktimeline.h"
#include "recordinglink.h"
#include "scannersession.h"
#include "ui_mainwindow.h"
#include "windowmodes.h"
#include "windowtexts.h"

#include <QComboBox>
#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

RecordingPlayback::RecordingPlayback(Ui::MainWindow *f, QMainWindow *window,
                                     ScannerSession *session, WindowModes *modes, QObject *parent)
    : QObject(parent), form(f), window(window), session(session), modes(modes)
{
    openAction = form->actionOpenRecording;
    closeAction = form->actionCloseRecording;
    connect(openAction, &QAction::triggered, this, &RecordingPlayback::openChosen);
    connect(closeAction, &QAction::triggered, this, &RecordingPlayback::close);
    buildBar();
    modes->bind(WindowModes::OpenRecording, openAction);
    modes->bind(WindowModes::PlaybackBar, closeAction);
    modes->bind(WindowModes::PlaybackBar, playbar);
}

RecordingPlayback::~RecordingPlayback() = default;

const QVector<double> &RecordingPlayback::speeds()
{
    static const QVector<double> all = {0.25, 0.5, 1, 2, 4, 8};
    return all;
}

QString RecordingPlayback::timeText(qint64 us)
{
    const qint64 ms = us / 1000;
    return QStringLiteral("%1:%2.%3")
        .arg(ms / 60000, 2, 10, QLatin1Char('0'))
        .arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'))
        .arg(ms % 1000, 3, 10, QLatin1Char('0'));
}

void RecordingPlayback::buildBar()
{
    playbar = new QToolBar(windowTr("回放"), window);
    playbar->setObjectName(QStringLiteral("playbackBar"));
    playbar->setMovable(false);
    playbar->setFloatable(false);
    playbar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    window->addToolBar(Qt::BottomToolBarArea, playbar);
    playbar->hide();

    QStyle *style = window->style();
    const auto button = [this, style](const char *name, QStyle::StandardPixmap icon,
                                      const QString &tip, void (RecordingPlayback::*slot)()) {
        auto *b = new QToolButton(playbar);
        b->setObjectName(QLatin1String(name));
        b->setIcon(style->standardIcon(icon));
        b->setToolTip(tip);
        b->setAutoRaise(true);
        connect(b, &QToolButton::clicked, this, slot);
        playbar->addWidget(b);
        return b;
    };
    button("previousMarkBtn", QStyle::SP_MediaSkipBackward, windowTr("上一个标记"),
           &RecordingPlayback::previousMark);
    button("stepBackBtn", QStyle::SP_MediaSeekBackward, windowTr("后退一次扫描"),
           &RecordingPlayback::stepBack);
    playButton = button("playPauseBtn", QStyle::SP_MediaPlay, windowTr("播放"),
                        &RecordingPlayback::playOrPause);
    button("stepForwardBtn", QStyle::SP_MediaSeekForward, windowTr("前进一次扫描"),
           &RecordingPlayback::stepForward);
    button("nextMarkBtn", QStyle::SP_MediaSkipForward, windowTr("下一个标记"),
           &RecordingPlayback::nextMark);

    speedBox = new QComboBox(playbar);
    speedBox->setObjectName(QStringLiteral("playbackSpeed"));
    speedBox->setToolTip(windowTr("回放速度"));
    for (const double s : speeds())
        speedBox->addItem(QStringLiteral("%1×").arg(s), s);
    speedBox->setCurrentIndex(speeds().indexOf(1.0));
    connect(speedBox, QOverload<int>::of(&QComboBox::activated), this, [this](int index) {
        if (recording)
            recording->setSpeed(speedBox->itemData(index).toDouble());
    });
    playbar->addWidget(speedBox);

    track = new PlaybackTimeline(playbar);
    connect(track, &PlaybackTimeline::seekRequested, this, [this](qint64 timeUs) {
        if (recording)
            recording->seek(timeUs);
    });
    connect(track, &PlaybackTimeline::markClicked, this, &RecordingPlayback::goToMark);
    playbar->addWidget(track);

    timeLabel = new QLabel(playbar);
    timeLabel->setObjectName(QStringLiteral("playbackTimeLabel"));
    timeLabel->setMinimumWidth(timeLabel->fontMetrics().horizontalAdvance(
        QStringLiteral(" 00:00.000 / 00:00.000 · 00:00:00.000 ")));
    playbar->addWidget(timeLabel);
    nameLabel = new QLabel(playbar);
    nameLabel->setObjectName(QStringLiteral("recordingNameLabel"));
    playbar->addWidget(nameLabel);
    playbar->addAction(closeAction);
}

void RecordingPlayback::openChosen()
{
    const QString path = fileProvider
                             ? fileProvider()
                             : QFileDialog::getOpenFileName(window, windowTr("打开录制"), QString(),
                                                            windowTr("pcap文件 (*.pcap)"));
    if (!path.isEmpty())
        open(path);
}

bool RecordingPlayback::open(const QString &path, QString *refusal)
{
    if (recording)
        close();
    auto *link = new RecordingLink(path);
    link->setRepliesHandedOut(false);
    // The session takes the link over whatever the outcome, and lets it go with the next.
    if (!session->openLink(link)) {
        const QString why = link->errorString();
        if (refusal)
            *refusal = why;
        else
            QMessageBox::critical(window, windowTr("提示"),
                                  windowTr("无法回放录制%1：%2").arg(path, why), QMessageBox::Ok);
        return false;
    }
    recording = link;
    connect(link, &RecordingLink::positionChanged, this, &RecordingPlayback::showPosition);
    connect(link, &RecordingLink::playingChanged, this, &RecordingPlayback::showPlaying);
    connect(link, &RecordingLink::speedChanged, this,
            [this](double speed) { speedBox->setCurrentIndex(speeds().indexOf(speed)); });
    link->setSpeed(speedBox->currentData().toDouble());
    track->setRecording(link->file().durationUs(), link->index().marks());
    nameLabel->setText(QFileInfo(path).fileName());
    nameLabel->setToolTip(QFileInfo(path).absoluteFilePath());
    modes->enter(WindowMode::Playback);
    playbar->show();
    showPlaying(false);
    showPosition();
    emit opened();
    return true;
}

void RecordingPlayback::close()
{
    if (!recording)
        return;
    recording->disconnect(this);
    recording = nullptr;
    session->close();
    playbar->hide();
    modes->leave(WindowMode::Playback);
    emit closed();
}

RecordingLink *RecordingPlayback::link() const
{
    return recording.data();
}

void RecordingPlayback::playOrPause()
{
    if (!recording)
        return;
    if (recording->isPlaying())
        recording->pause();
    else
        recording->play();
}

void RecordingPlayback::stepForward()
{
    if (recording)
        recording->stepScans(1);
}

void RecordingPlayback::stepBack()
{
    if (recording)
        recording->stepScans(-1);
}

void RecordingPlayback::nextMark()
{
    if (!recording)
        return;
    const int scan = recording->currentScan();
    const int frame = scan >= 0 ? recording->index().scanLastFrame(scan) : -1;
    goToMark(markAfter(recording->index().marks(), frame));
}

void RecordingPlayback::previousMark()
{
    if (!recording)
        return;
    const int scan = recording->currentScan();
    if (scan < 0)
        return;
    goToMark(markBefore(recording->index().marks(), recording->index().scanFirstFrame(scan)));
}

void RecordingPlayback::goToMark(int mark)
{
    if (!recording || mark < 0 || mark >= recording->index().marks().size())
        return;
    recording->pause();
    recording->seekToFrame(recording->index().marks().at(mark).frame);
}

void RecordingPlayback::showPosition()
{
    if (!recording)
        return;
    const qint64 at = recording->positionUs();
    track->setPosition(at);
    const QDateTime clock = QDateTime::fromMSecsSinceEpoch(recording->clockUs() / 1000);
    timeLabel->setText(QStringLiteral("%1 / %2 · %3")
                           .arg(timeText(at), timeText(recording->file().durationUs()),
                                clock.toString(QStringLiteral("HH:mm:ss.zzz"))));
    emit positionChanged();
}

void RecordingPlayback::showPlaying(bool playing)
{
    playButton->setIcon(
        window->style()->standardIcon(playing ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
    playButton->setToolTip(playing ? windowTr("暂停") : windowTr("播放"));
    playButton->setProperty("playing", playing);
}
