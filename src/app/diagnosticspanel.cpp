#include "diagnosticspanel.h"

#include "linkmonitor.h"
#include "outputfiles.h"
#include "recordinglink.h"
#include "recordingplayback.h"
#include "scannersession.h"
#include "windowtexts.h"

#include <QAction>
#include <QDateTime>
#include <QDockWidget>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QStatusBar>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {
QLabel *figureLabel(const char *name, QWidget *parent)
{
    auto *label = new QLabel(QStringLiteral("0"), parent);
    label->setObjectName(QLatin1String(name));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}
} // namespace

DiagnosticsPanel::DiagnosticsPanel(QMainWindow *window, ScannerSession *session,
                                   RecordingPlayback *playback, QObject *parent)
    : QObject(parent), window(window), session(session), playback(playback),
      live(new LinkMonitor(session, this))
{
    panel = new QDockWidget(windowTr("诊断"), window);
    panel->setObjectName(QStringLiteral("diagnosticsPanel"));
    panel->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    auto *body = new QWidget(panel);
    auto *layout = new QVBoxLayout(body);
    auto *form = new QFormLayout;
    rate = figureLabel("scanRateLabel", body);
    damaged = figureLabel("damagedFramesLabel", body);
    stray = figureLabel("strayBytesLabel", body);
    errorByte = figureLabel("errorByteLabel", body);
    nonZero = figureLabel("nonZeroErrorsLabel", body);
    form->addRow(windowTr("每秒扫描次数"), rate);
    form->addRow(windowTr("损坏的帧"), damaged);
    form->addRow(windowTr("帧外字节"), stray);
    form->addRow(windowTr("错误字节（最后）"), errorByte);
    form->addRow(windowTr("错误字节非零次数"), nonZero);
    layout->addLayout(form);

    table = new QTableWidget(0, 4, body);
    table->setObjectName(QStringLiteral("signalChangesTable"));
    table->setHorizontalHeaderLabels(
        {windowTr("时间"), windowTr("信号"), windowTr("之前"), windowTr("之后")});
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(table, 1);

    auto *buttons = new QHBoxLayout;
    auto *save = new QPushButton(windowTr("保存为CSV…"), body);
    save->setObjectName(QStringLiteral("saveChangesBtn"));
    connect(save, &QPushButton::clicked, this, &DiagnosticsPanel::saveChanges);
    auto *reset = new QPushButton(windowTr("清零"), body);
    reset->setObjectName(QStringLiteral("clearDiagnosticsBtn"));
    reset->setToolTip(windowTr("重新开始实时计数"));
    connect(reset, &QPushButton::clicked, this, &DiagnosticsPanel::clear);
    buttons->addWidget(save);
    buttons->addWidget(reset);
    buttons->addStretch();
    layout->addLayout(buttons);
    // Wide enough for a change's four columns without a scroll bar.
    body->setMinimumWidth(body->fontMetrics().horizontalAdvance(
                              QStringLiteral("00:00:00.000 Outputs Before 000000")) +
                          60);
    panel->setWidget(body);
    window->addDockWidget(Qt::RightDockWidgetArea, panel);
    panel->hide();

    QAction *toggle = panel->toggleViewAction();
    toggle->setObjectName(QStringLiteral("actionDiagnostics"));
    toggle->setText(windowTr("诊断面板"));
    toggle->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+D")));
    toggle->setStatusTip(
        windowTr("链路和扫描仪的健康状况：扫描频率、损坏的帧、错误字节、输出和输入的变化"));
    if (auto *menu = window->menuBar()->findChild<QMenu *>(QStringLiteral("menuFile")))
        menu->addAction(toggle);

    // Live figures are counted as frames come; the panel shows them twice a second while
    // it is open, and a recording's as it plays.
    timer = new QTimer(this);
    timer->setInterval(500);
    connect(timer, &QTimer::timeout, this, &DiagnosticsPanel::refresh);
    connect(panel, &QDockWidget::visibilityChanged, this, [this](bool shown) {
        if (shown) {
            refresh();
            timer->start();
        } else {
            timer->stop();
        }
    });
    connect(playback, &RecordingPlayback::positionChanged, this, [this]() {
        if (!panel->isHidden())
            refresh();
    });
    connect(playback, &RecordingPlayback::closed, this, &DiagnosticsPanel::refresh);
    connect(playback, &RecordingPlayback::opened, this, &DiagnosticsPanel::refresh);
}

DiagnosticsPanel::~DiagnosticsPanel() = default;

DiagnosticsFigures DiagnosticsPanel::figures() const
{
    if (const RecordingLink *recording = playback->link())
        return recording->index().figuresAfter(recording->position() - 1);
    return live->figures();
}

QVector<SignalChange> DiagnosticsPanel::changes() const
{
    if (const RecordingLink *recording = playback->link())
        return recording->index().changesAfter(recording->position() - 1);
    return live->changes();
}

qint64 DiagnosticsPanel::originUs() const
{
    if (const RecordingLink *recording = playback->link())
        return recording->file().startUs;
    return live->startUs();
}

void DiagnosticsPanel::refresh()
{
    const DiagnosticsFigures f = figures();
    rate->setText(QString::number(f.scansPerSecond, 'f', 1));
    damaged->setText(QString::number(f.damagedFrames));
    stray->setText(QString::number(f.strayBytes));
    errorByte->setText(f.lastError < 0
                           ? QStringLiteral("–")
                           : QStringLiteral("0x%1").arg(f.lastError, 2, 16, QLatin1Char('0')));
    nonZero->setText(QString::number(f.nonZeroErrors));
    // Scanner faults stand out.
    errorByte->setStyleSheet(f.lastError > 0 ? QStringLiteral("color: #c0392b; font-weight: bold")
                                             : QString());
    showChanges(changes());
}

void DiagnosticsPanel::showChanges(const QVector<SignalChange> &all)
{
    // A recording wound back shows fewer; otherwise only the new ones are added.
    if (all.size() < table->rowCount())
        table->setRowCount(0);
    const int from = table->rowCount();
    if (from == all.size())
        return;
    table->setRowCount(all.size());
    for (int row = from; row < all.size(); ++row) {
        const SignalChange &c = all.at(row);
        const QString time = QDateTime::fromMSecsSinceEpoch(c.timeUs / 1000)
                                 .toString(QStringLiteral("HH:mm:ss.zzz"));
        const QString signal =
            c.signal == SignalChange::Outputs ? windowTr("输出") : windowTr("输入");
        const QStringList cells = {time, signal,
                                   c.from < 0 ? QStringLiteral("–") : signalBits(c.signal, c.from),
                                   signalBits(c.signal, c.to)};
        for (int column = 0; column < cells.size(); ++column)
            table->setItem(row, column, new QTableWidgetItem(cells.at(column)));
    }
    table->scrollToBottom();
}

bool DiagnosticsPanel::saveChanges()
{
    QString path;
    if (fileProvider) {
        path = fileProvider();
    } else {
        const QString suggested =
            QStringLiteral("changes-%1.csv")
                .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
        path = askSaveFileName(window, windowTr("保存输出和输入的变化"), suggested,
                               windowTr("CSV文件 (*.csv)"));
    }
    if (path.isEmpty())
        return false;
    path = chosenOutputFile(window, path, !fileProvider, windowTr("无法保存到%1：%2"),
                            windowTr("%1是本工具自己的文件，不能保存在它上面"));
    if (path.isEmpty())
        return false;
    QSaveFile file(path);
    const QByteArray csv = changesCsv(changes(), originUs()).toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(csv) != csv.size() || !file.commit()) {
        QMessageBox::critical(window, windowTr("提示"),
                              windowTr("无法保存到%1：%2").arg(path, file.errorString()),
                              QMessageBox::Ok);
        return false;
    }
    window->statusBar()->showMessage(windowTr("变化已保存到%1").arg(path), 10000);
    return true;
}

void DiagnosticsPanel::clear()
{
    live->clear();
    table->setRowCount(0);
    refresh();
}
