#include "playbacktimeline.h"

#include "linkdiagnostics.h"
#include "windowtexts.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace {
constexpr int kMargin = 6;    // the handle stays whole at both ends
constexpr int kMarkReach = 4; // pixels either side of a mark that still mean it

QColor markColour(RecordingMark::Kind kind)
{
    switch (kind) {
    case RecordingMark::Outputs:
        return QColor(230, 126, 34);
    case RecordingMark::Inputs:
        return QColor(41, 128, 185);
    case RecordingMark::Error:
        break;
    }
    return QColor(192, 57, 43);
}

QString markText(const RecordingMark &mark)
{
    const QString time = QStringLiteral("%1 s").arg(mark.timeUs / 1e6, 0, 'f', 3);
    switch (mark.kind) {
    case RecordingMark::Outputs:
        return windowTr("%1：输出 %2 → %3")
            .arg(time, signalBits(SignalChange::Outputs, mark.from),
                 signalBits(SignalChange::Outputs, mark.to));
    case RecordingMark::Inputs:
        return windowTr("%1：输入 %2 → %3")
            .arg(time, signalBits(SignalChange::Inputs, mark.from),
                 signalBits(SignalChange::Inputs, mark.to));
    case RecordingMark::Error:
        break;
    }
    return windowTr("%1：错误字节 0x%2").arg(time).arg(mark.to, 2, 16, QLatin1Char('0'));
}
} // namespace

int timelineX(qint64 timeUs, qint64 durationUs, int width)
{
    if (durationUs <= 0 || width <= 1)
        return 0;
    timeUs = std::clamp<qint64>(timeUs, 0, durationUs);
    return int(std::llround(double(timeUs) * (width - 1) / double(durationUs)));
}

qint64 timelineTime(int x, qint64 durationUs, int width)
{
    if (durationUs <= 0 || width <= 1)
        return 0;
    x = std::clamp(x, 0, width - 1);
    return qint64(std::llround(double(x) * double(durationUs) / (width - 1)));
}

int markNear(const QVector<RecordingMark> &marks, int x, qint64 durationUs, int width, int reach)
{
    // The marks are in time order, so only those around the click's time are looked at.
    const qint64 from = timelineTime(x - reach - 1, durationUs, width);
    auto it = std::lower_bound(marks.constBegin(), marks.constEnd(), from,
                               [](const RecordingMark &m, qint64 t) { return m.timeUs < t; });
    int best = -1;
    int bestDistance = reach + 1;
    for (; it != marks.constEnd(); ++it) {
        const int distance = std::abs(timelineX(it->timeUs, durationUs, width) - x);
        if (timelineX(it->timeUs, durationUs, width) > x + reach)
            break;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = int(it - marks.constBegin());
        }
    }
    return best;
}

int markAfter(const QVector<RecordingMark> &marks, int frame)
{
    const auto it = std::upper_bound(marks.constBegin(), marks.constEnd(), frame,
                                     [](int f, const RecordingMark &m) { return f < m.frame; });
    return it == marks.constEnd() ? -1 : int(it - marks.constBegin());
}

int markBefore(const QVector<RecordingMark> &marks, int frame)
{
    const auto it = std::lower_bound(marks.constBegin(), marks.constEnd(), frame,
                                     [](const RecordingMark &m, int f) { return m.frame < f; });
    return int(it - marks.constBegin()) - 1;
}

PlaybackTimeline::PlaybackTimeline(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("playbackTimeline"));
    setMouseTracking(true);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setCursor(Qt::PointingHandCursor);
}

void PlaybackTimeline::setRecording(qint64 durationUs, const QVector<RecordingMark> &marks)
{
    m_durationUs = durationUs;
    m_marks = marks;
    m_positionUs = 0;
    update();
}

void PlaybackTimeline::setPosition(qint64 timeUs)
{
    if (timeUs == m_positionUs)
        return;
    // Only the handle's old and new place are painted again.
    const int before = xOf(m_positionUs);
    m_positionUs = timeUs;
    const int after = xOf(m_positionUs);
    update(QRect(std::min(before, after) - kMargin, 0, std::abs(after - before) + 2 * kMargin,
                 height()));
}

int PlaybackTimeline::trackWidth() const
{
    return std::max(2, width() - 2 * kMargin);
}

int PlaybackTimeline::xOf(qint64 timeUs) const
{
    return kMargin + timelineX(timeUs, m_durationUs, trackWidth());
}

qint64 PlaybackTimeline::timeAtX(int x) const
{
    return timelineTime(x - kMargin, m_durationUs, trackWidth());
}

QSize PlaybackTimeline::sizeHint() const
{
    return QSize(400, 26);
}

QSize PlaybackTimeline::minimumSizeHint() const
{
    return QSize(120, 26);
}

void PlaybackTimeline::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const int mid = height() / 2;
    painter.fillRect(QRect(kMargin, mid - 2, trackWidth(), 4), palette().mid());
    painter.fillRect(QRect(kMargin, mid - 2, xOf(m_positionUs) - kMargin, 4),
                     palette().highlight());
    // Errors first, so that a change of the outputs at the same place stays visible.
    for (const RecordingMark::Kind kind :
         {RecordingMark::Error, RecordingMark::Inputs, RecordingMark::Outputs}) {
        painter.setPen(QPen(markColour(kind), 2));
        const int top = kind == RecordingMark::Inputs ? mid : 2;
        const int bottom = kind == RecordingMark::Outputs ? mid : height() - 3;
        for (const RecordingMark &mark : qAsConst(m_marks))
            if (mark.kind == kind)
                painter.drawLine(xOf(mark.timeUs), top, xOf(mark.timeUs), bottom);
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(palette().color(QPalette::Dark));
    painter.setBrush(palette().button());
    painter.drawEllipse(QPointF(xOf(m_positionUs), mid), kMargin - 1, kMargin - 1);
}

void PlaybackTimeline::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || m_durationUs <= 0)
        return;
    const int x = event->pos().x() - kMargin;
    const int mark = markNear(m_marks, x, m_durationUs, trackWidth(), kMarkReach);
    if (mark >= 0)
        emit markClicked(mark);
    else
        emit seekRequested(timeAtX(event->pos().x()));
}

void PlaybackTimeline::mouseMoveEvent(QMouseEvent *event)
{
    if ((event->buttons() & Qt::LeftButton) && m_durationUs > 0)
        emit seekRequested(timeAtX(event->pos().x()));
}

bool PlaybackTimeline::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const int mark =
            markNear(m_marks, help->pos().x() - kMargin, m_durationUs, trackWidth(), kMarkReach);
        if (mark >= 0)
            QToolTip::showText(help->globalPos(), markText(m_marks.at(mark)), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}
