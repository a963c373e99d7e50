#include "mainwindow.h"

// The running-status indicators come with the status page.
void MainWindow::onRecvState(uchar err, uchar output, uchar input)
{
    Q_UNUSED(err)
    Q_UNUSED(output)
    Q_UNUSED(input)
}

void MainWindow::onRecvAndShowPoint(QVector<float> angleVec, QVector<ushort> rangeVec,
                                    QVector<ushort> intensityVec)
{
    Q_UNUSED(angleVec)
    Q_UNUSED(rangeVec)
    Q_UNUSED(intensityVec)
}
