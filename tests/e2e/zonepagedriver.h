#pragma once

#include "simulatorhost.h"
#include "ui_mainwindow.h"

#include <QStandardItemModel>
#include <QtTest>

// What the zone tests do as a user would, and what they ask the simulated scanner.

// A user edit of one cell of the point table: a click on it (a user edit needs the table
// touched first), then the value.
inline void typeCell(Ui::MainWindow *ui, int row, int column, const QVariant &value)
{
    auto *model = qobject_cast<QStandardItemModel *>(ui->tableView->model());
    const QModelIndex index = model->index(row, column);
    ui->tableView->scrollTo(index);
    QTest::mouseClick(ui->tableView->viewport(), Qt::LeftButton, {},
                      ui->tableView->visualRect(index).center());
    model->setData(index, value);
}

// Types a vertex into the add row of the point table.
inline void typeVertex(Ui::MainWindow *ui, int xMm, int yMm)
{
    const int row = ui->tableView->model()->rowCount() - 1;
    typeCell(ui, row, 0, xMm);
    typeCell(ui, row, 1, yMm);
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
