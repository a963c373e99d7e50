// User zone files: the whole zone store copied to a file of the user's choice and back.
#include "mainwindow.h"

#include "ui_mainwindow.h"
#include "zonestore.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QSaveFile>
#include <QSignalBlocker>

QString MainWindow::askZoneFileName(bool save)
{
    if (zoneFileProvider)
        return zoneFileProvider(save);
    const QString filter = QStringLiteral("Settings (*.ini)");
    return save ? QFileDialog::getSaveFileName(this, QStringLiteral("Save Settings File"),
                                               QStringLiteral("./"), filter)
                : QFileDialog::getOpenFileName(this, QStringLiteral("Open Settings File"),
                                               QStringLiteral("./"), filter);
}

void MainWindow::onSaveSettingsBtn()
{
    const QString name = askZoneFileName(true);
    if (name.isEmpty())
        return;
    if (currentChannel < 64 && !saveChannelToConfig(currentChannel))
        return; // a file without the latest edits is not what the user asked for

    // The new file is written completely beside the old one and only then takes its
    // place, so a full disk or a read-only folder leaves the user's old file as it was.
    QString error;
    QFile store(zoneStoreFileName());
    QByteArray bytes;
    if (!store.open(QIODevice::ReadOnly)) {
        error = store.errorString();
    } else {
        bytes = store.readAll();
        if (store.error() != QFileDevice::NoError)
            error = store.errorString();
    }
    if (error.isEmpty()) {
        QSaveFile file(name);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
            error = file.errorString();
    }
    if (!error.isEmpty())
        QMessageBox::critical(
            this, tr("提示"),
            tr("无法保存区域配置文件%1：%2").arg(QDir::toNativeSeparators(name), error),
            QMessageBox::Ok);
}

void MainWindow::onLoadSettingsBtn()
{
    const QString name = askZoneFileName(false);
    if (name.isEmpty())
        return;

    QFile source(name);
    const bool readOpen = source.open(QIODevice::ReadOnly);
    QByteArray bytes;
    bool readOk = readOpen;
    if (readOpen) {
        bytes = source.readAll();
        readOk = source.error() == QFileDevice::NoError;
    }
    // A file that cannot be read leaves the store and the editor as they are; an empty
    // file that can be read is an empty zone set.
    if (!readOk) {
        qDebug() << readOpen << ";wrtie:" << false << ";size:" << bytes.size()
                 << ";write size:" << 0;
        QMessageBox::critical(this, tr("提示"),
                              tr("无法读取区域配置文件%1：%2")
                                  .arg(QDir::toNativeSeparators(name), source.errorString()),
                              QMessageBox::Ok);
        return;
    }
    source.close();

    QSaveFile store(zoneStoreFileName());
    const bool writeOpen = store.open(QIODevice::WriteOnly);
    const qint64 written = writeOpen ? store.write(bytes) : 0;
    const bool stored = writeOpen && written == bytes.size() && store.commit();
    qDebug() << readOpen << ";wrtie:" << writeOpen << ";size:" << bytes.size()
             << ";write size:" << written;
    if (!stored) {
        QMessageBox::critical(this, tr("提示"),
                              tr("无法写入区域存储config.ini：%1").arg(store.errorString()),
                              QMessageBox::Ok);
        return;
    }

    zonesNotOnScanner = true;
    // The editor's channel belongs to the old store: it must not be saved over the new one.
    currentChannel = 64;
    // The selector shows the channel the editor now holds; the channel change itself runs
    // here, once.
    {
        const QSignalBlocker quiet(form->channels);
        form->channels->setCurrentIndex(0);
    }
    onChannelCurrentIndexChanged(0);
}
