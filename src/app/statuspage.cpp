#include "mainwindow.h"

#include "ui_mainwindow.h"

#include <QGraphicsPathItem>
#include <QLabel>

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

void MainWindow::onRecvState(uchar err, uchar output, uchar input)
{
    Q_UNUSED(err)
    struct Output
    {
        uchar mask;
        QLabel *status;
        QLabel *zonePage;
        int zone; // index into stateZoneItems, -1 for none
    };
    const Output outputs[] = {
        {0x02, form->stateOutOne, form->stateOutOne_2, 0},
        {0x04, form->stateOutTwo, form->stateOutTwo_2, 1},
        {0x08, form->stateOutThree, form->stateOutThree_2, 2},
        {0x01, form->stateOutFour, form->stateOutFour_2, -1},
    };
    for (const Output &o : outputs) {
        const bool set = (output & o.mask) != 0;
        if (o.zone >= 0)
            stateZoneItems[o.zone]->setOpacity(set ? 0.4 : 0.2);
        showIndicator(o.status, set);
        showIndicator(o.zonePage, set);
    }

    if (input != lastInputState) {
        lastInputState = input;
        showStateAreas(input);
    }

    QLabel *const inputs[6][2] = {
        {form->stateInOne, form->stateInOne_2},     {form->stateInTwo, form->stateInTwo_2},
        {form->stateInThree, form->stateInThree_2}, {form->stateInFour, form->stateInFour_2},
        {form->stateInFive, form->stateInFive_2},   {form->stateInSix, form->stateInSix_2},
    };
    for (int bit = 0; bit < 6; ++bit) {
        const bool set = (input & (1 << bit)) != 0;
        showIndicator(inputs[bit][0], set);
        showIndicator(inputs[bit][1], set);
    }
    form->curAreaIndexLabel->setText(QStringLiteral("%1").arg(input));
}
