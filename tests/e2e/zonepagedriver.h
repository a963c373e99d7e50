#pragma once

#include "simulatorhost.h"
#include "ui_mainwindow.h"

#include <QStandardItemModel>
#include <QtTest>

// What the zone tests do as a user would, and what they ask the simulated scanner.

// Types a vertex into the add row of the point table: a click on each cell (a user edit
// needs the table touched first), then the value.
inline void typeVertex(Ui::MainWindow *ui, int xMm, int yMm)
{
    auto *model = qobject_cast<QStandardItemModel *>(ui->tableView->model());
    const int row = model->rowCount() - 1;
    for (int column = 0; column < 2; ++column) {
        const QModelIndex index = model->index(row, column);
        QTest::mouseClick(ui->tableView->viewport(), Qt::LeftButton, {},
                          ui->tableView->visualRect(index).center());
        model->setData(index, column == 0 ? xMm : yMm);
    }
}

// The requests of one type the scanner received, oldest first.
inline QVector<ReceivedFrame> framesOf(const SimulatorHost &sim, quint16 type)
{
    QVector<ReceivedFrame> out;
    const QVector<ReceivedFrame> all = sim.receivedFrames();
    for (const ReceivedFrame &frame : all)
        if (frame.type == type)
            out.append(frame);
    return out;
}
