#include "closeguard.h"

#include "mainwindow.h"
#include "ui_mainwindow.h"
#include "unsentmarker.h"
#include "zoneeditor.h"
#include "zonestorefile.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

CloseGuard::CloseGuard(MainWindow *window) : QObject(window), window(window)
{
    connect(window->zoneStore, &ZoneStoreFile::changedOnDisk, this,
            &CloseGuard::onStoreChangedOnDisk);
}

void CloseGuard::keepLastRun()
{
    QString error;
    const QString copy = keepUnsentZonesOfLastRun(window->zoneStore->fileName(),
                                                  QDateTime::currentDateTime(), &error);
    if (!copy.isEmpty())
        window->statusBar()->showMessage(
            MainWindow::tr("上次运行结束时区域存储中有尚未写入扫描仪的区域，已保存在%1")
                .arg(QDir::toNativeSeparators(copy)));
    else if (!error.isEmpty())
        window->statusBar()->showMessage(
            MainWindow::tr("上次运行结束时区域存储中有尚未写入扫描仪的区域，未能保存它们的副本：%1")
                .arg(error));
}

// A cell being typed in counts as an edit: the view hands the text to the model when its
// current cell changes, as it does when the user leaves the cell.
void CloseGuard::commitOpenCell()
{
    QTableView *table = window->form->tableView;
    const QModelIndex current = table->currentIndex();
    if (!current.isValid())
        return;
    table->setCurrentIndex(QModelIndex());
    table->setCurrentIndex(current);
}

bool CloseGuard::mayClose()
{
    commitOpenCell();
    // Edits only the editor holds go into the store first; when that fails they are
    // still unsent.
    window->saveChannelToConfig(window->editedChannel());
    if (!window->zoneStore->hasUnsentChanges() && !window->editor->hasEdits())
        return true;

    QMessageBox box(QMessageBox::Question, MainWindow::tr("提示"),
                    MainWindow::tr("区域存储中有尚未写入扫描仪的区域修改。关闭前要把它们保存到区域"
                                   "配置文件吗？不保存的话，它们在程序关闭后就没有了。"),
                    QMessageBox::NoButton, window);
    QPushButton *save = box.addButton(MainWindow::tr("保存到文件…"), QMessageBox::AcceptRole);
    QPushButton *discard =
        box.addButton(MainWindow::tr("不保存，关闭"), QMessageBox::DestructiveRole);
    QPushButton *stay = box.addButton(MainWindow::tr("取消"), QMessageBox::RejectRole);
    box.setDefaultButton(save);
    box.setEscapeButton(stay);
    box.exec();
    if (box.clickedButton() == discard)
        return true;
    if (box.clickedButton() == save)
        return window->saveZonesToFile();
    return false;
}

void CloseGuard::onStoreChangedOnDisk(int changedAreas, const QString &keptCopy,
                                      const QString &error)
{
    QString message =
        MainWindow::tr("config.ini已被其他程序修改：写入前已读入它的修改（改动的区域：%1）")
            .arg(changedAreas);
    if (!keptCopy.isEmpty())
        message += MainWindow::tr("；被替换的未上传区域已保存在%1")
                       .arg(QDir::toNativeSeparators(keptCopy));
    else if (!error.isEmpty())
        message += MainWindow::tr("；未能保存被替换的未上传区域：%1").arg(error);
    window->statusBar()->showMessage(message);
    // The editor shows what the store now holds, unless it holds edits of its own.
    if (!window->editor->hasEdits())
        window->reloadChannel(window->editedChannel());
    window->redrawStateAreas();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (closeGuard->mayClose())
        QMainWindow::closeEvent(event);
    else
        event->ignore();
}
