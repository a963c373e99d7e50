#include "closeguard.h"

#include "statuspanel.h"
#include "ui_mainwindow.h"
#include "unsentmarker.h"
#include "windowtexts.h"
#include "zoneeditor.h"
#include "zonefiles.h"
#include "zonestorefile.h"

#include <QDateTime>
#include <QDir>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>

CloseGuard::CloseGuard(Ui::MainWindow *form, QMainWindow *window, ZoneStoreFile *store,
                       ZoneEditor *editor, ZoneFiles *files, StatusPanel *status, QObject *parent)
    : QObject(parent), form(form), window(window), store(store), editor(editor), files(files),
      status(status)
{
    connect(store, &ZoneStoreFile::changedOnDisk, this, &CloseGuard::onStoreChangedOnDisk);
}

void CloseGuard::keepLastRun(const ZoneStoreFile *store, QStatusBar *statusBar)
{
    QString error;
    const QString copy =
        keepUnsentZonesOfLastRun(store->fileName(), QDateTime::currentDateTime(), &error);
    if (!copy.isEmpty())
        statusBar->showMessage(
            windowTr("上次运行结束时区域存储中有尚未写入扫描仪的区域，已保存在%1")
                .arg(QDir::toNativeSeparators(copy)));
    else if (!error.isEmpty())
        statusBar->showMessage(
            windowTr("上次运行结束时区域存储中有尚未写入扫描仪的区域，未能保存它们的副本：%1")
                .arg(error));
}

// A cell being typed in counts as an edit: the view hands the text to the model when its
// current cell changes, as it does when the user leaves the cell.
void CloseGuard::commitOpenCell()
{
    QTableView *table = form->tableView;
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
    editor->saveChannel();
    if (!store->hasUnsentChanges() && !editor->hasEdits())
        return true;

    QMessageBox box(QMessageBox::Question, windowTr("提示"),
                    windowTr("区域存储中有尚未写入扫描仪的区域修改。关闭前要把它们保存到区域"
                             "配置文件吗？不保存的话，它们在程序关闭后就没有了。"),
                    QMessageBox::NoButton, window);
    QPushButton *save = box.addButton(windowTr("保存到文件…"), QMessageBox::AcceptRole);
    QPushButton *discard = box.addButton(windowTr("不保存，关闭"), QMessageBox::DestructiveRole);
    QPushButton *stay = box.addButton(windowTr("取消"), QMessageBox::RejectRole);
    box.setDefaultButton(save);
    box.setEscapeButton(stay);
    box.exec();
    if (box.clickedButton() == discard)
        return true;
    if (box.clickedButton() == save)
        return files->saveToChosenFile();
    return false;
}

void CloseGuard::onStoreChangedOnDisk(int changedAreas, const QString &keptCopy,
                                      const QString &error)
{
    QString message = windowTr("config.ini已被其他程序修改：写入前已读入它的修改（改动的区域：%1）")
                          .arg(changedAreas);
    if (!keptCopy.isEmpty())
        message +=
            windowTr("；被替换的未上传区域已保存在%1").arg(QDir::toNativeSeparators(keptCopy));
    else if (!error.isEmpty())
        message += windowTr("；未能保存被替换的未上传区域：%1").arg(error);
    window->statusBar()->showMessage(message);
    // The editor shows what the store now holds, unless it holds edits of its own.
    if (!editor->hasEdits())
        editor->takeChannel(editor->editedChannel());
    status->redraw();
}
