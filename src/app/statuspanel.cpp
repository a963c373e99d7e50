#include "statuspanel.h"

#include "areasettings.h"
#include "laserscanview.h"
#include "ui_mainwindow.h"
#include "zonegeometry.h"
#include "zonestorefile.h"

#include <QGraphicsPathItem>
#include <QGraphicsScene>
#include <QLabel>

#include <utility>

using namespace ZoneGeometry;

namespace {
const QString kActive = QStringLiteral("background-color:rgb(0, 153, 115);color:white");
const QString kInactive = QStringLiteral("background-color:gray; color:white");

// Status messages arrive with every scan frame, 150 times a second; a style sheet is
// costly to apply, so an indicator is restyled only when its state changes.
void showIndicator(QLabel *label, bool active)
{
    const QString &sheet = active ? kActive : kInactive;
    if (label->styleSheet() != sheet)
        label->setStyleSheet(sheet);
}
} // namespace

StatusPanel::StoredZones StatusPanel::fromStore(const ZoneStoreFile *store)
{
    return [store](int channel) {
        // The scanner's inputs can select a channel beyond the store's: it holds no zones.
        if (channel < 0 || channel >= kZoneChannelCount)
            return ZoneChannelRecord();
        ZoneChannelRecord areas = store->channel(channel);
        // As the block carries them: coordinates keep their low 16 bits.
        for (ZoneAreaRecord &a : areas)
            for (QPoint &p : a.points)
                p = QPoint(qint16(p.x()), qint16(p.y()));
        return areas;
    };
}

StatusPanel::StatusPanel(Ui::MainWindow *f, StoredZones storedZones)
    : storedZones(std::move(storedZones)), channelLabel(f->curAreaIndexLabel),
      scanView(f->stateGraphicsView)
{
    for (int area = 0; area < kAreasPerChannel; ++area) {
        auto *zone = new QGraphicsPathItem;
        zone->setBrush(QBrush(ZoneGeometry::zoneColor(area)));
        f->stateGraphicsView->scene()->addItem(zone);
        zones.append(zone);
    }
    outputs = {
        {0x02, f->stateOutOne, f->stateOutOne_2, 0},
        {0x04, f->stateOutTwo, f->stateOutTwo_2, 1},
        {0x08, f->stateOutThree, f->stateOutThree_2, 2},
        {0x01, f->stateOutFour, f->stateOutFour_2, -1},
    };
    inputs = {f->stateInOne,   f->stateInOne_2,   f->stateInTwo,  f->stateInTwo_2,
              f->stateInThree, f->stateInThree_2, f->stateInFour, f->stateInFour_2,
              f->stateInFive,  f->stateInFive_2,  f->stateInSix,  f->stateInSix_2};
}

void StatusPanel::showState(uchar output, uchar input)
{
    for (const Output &o : qAsConst(outputs)) {
        const bool set = (output & o.mask) != 0;
        if (o.zone >= 0)
            zones[o.zone]->setOpacity(set ? 0.4 : 0.2);
        showIndicator(o.status, set);
        showIndicator(o.zonePage, set);
    }

    if (input != lastInput) {
        lastInput = input;
        showChannel(input);
    }

    for (int bit = 0; bit < 6; ++bit) {
        const bool set = (input & (1 << bit)) != 0;
        showIndicator(inputs[2 * bit], set);
        showIndicator(inputs[2 * bit + 1], set);
    }
    channelLabel->setText(QStringLiteral("%1").arg(input));
}

void StatusPanel::showNotLive()
{
    for (const Output &o : qAsConst(outputs)) {
        if (o.zone >= 0)
            zones[o.zone]->setOpacity(0.2);
        showIndicator(o.status, false);
        showIndicator(o.zonePage, false);
    }
    for (QLabel *input : qAsConst(inputs))
        showIndicator(input, false);
    // The next scanner's first status message names its channel again.
    lastInput = kNoInput;
    scanView->onRecvAndShowPoint({}, {}, {});
}

void StatusPanel::showChannel(int shown)
{
    channel = shown;
    const ZoneChannelRecord areas = storedZones(shown);
    for (int k = 0; k < 3; ++k) {
        QPainterPath outline;
        if (areaOutline(areas[k], &outline))
            zones[k]->setPath(outline);
    }
}

bool StatusPanel::areaOutline(const ZoneAreaRecord &area, QPainterPath *outline)
{
    return storedAreaOutline(area, outline);
}
