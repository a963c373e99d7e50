// Zones in the store that the scanner has not received: the full read after connecting
// would write the scanner's zones over them, so the user decides first, and a copy of
// them is kept in a zone file whatever the decision.
#include "mainwindow.h"

#include "scannersession.h"
#include "ui_mainwindow.h"
#include "unsentmarker.h"
#include "zonestorefile.h"

#include <QDateTime>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>

bool MainWindow::hasUnsentZones() const
{
    return zoneStore->hasUnsentChanges();
}

void MainWindow::zonesReachedScanner()
{
    zoneStore->markOnScanner();
    showZoneFingerprint();
}

// Writes the store to a new zone file in the working folder, named after the moment;
// its path, or an empty text with the reason in *error.
QString MainWindow::keepUnsentZonesCopy(QString *error)
{
    QString unreadable;
    const QByteArray bytes = zoneStore->bytes(&unreadable);
    if (!unreadable.isEmpty()) {
        *error = unreadable;
        return QString();
    }
    return writeUnsentZonesCopy(bytes, QDir::currentPath(), QDateTime::currentDateTime(), error);
}

// Asked before the full read after connecting. True when the read must not start: the
// user chose to upload the store's changes (the upload has started), or the link went
// away while the question was open.
bool MainWindow::uploadUnsentZonesInstead()
{
    // Edits that only the editor holds count as well.
    saveChannelToConfig(editedChannel());
    if (!hasUnsentZones())
        return false;

    QString error;
    const QString copy = keepUnsentZonesCopy(&error);
    const QString kept = copy.isEmpty()
                             ? tr("未能保存它们的副本：%1").arg(error)
                             : tr("它们的副本已保存在%1").arg(QDir::toNativeSeparators(copy));
    QMessageBox box(QMessageBox::Question, tr("提示"),
                    tr("区域存储中有尚未写入扫描仪的区域修改，%1。要把这些修改上传到扫描仪，"
                       "还是读取扫描仪的区域替换它们？")
                        .arg(kept),
                    QMessageBox::NoButton, this);
    QPushButton *upload = box.addButton(tr("上传修改"), QMessageBox::AcceptRole);
    QPushButton *read = box.addButton(tr("读取扫描仪区域"), QMessageBox::RejectRole);
    // Closing the box leaves the scanner as it is; the copy keeps the changes.
    box.setDefaultButton(read);
    box.setEscapeButton(read);
    const int connection = session->connection();
    box.exec();
    if (connection != session->connection() || !session->isOpen())
        return true;
    if (box.clickedButton() != upload)
        return false;

    // The window as after a full read, then the upload of the store as it is.
    endFullZoneRead();
    form->areasMonitoningGroupBox->setEnabled(true);
    setScannerZoneButtonsEnabled(true);
    form->filterGroupBox->setEnabled(true);
    form->treeWidget->setEnabled(true);
    form->factorySettingsBtn->setEnabled(true);
    setEnabled(true);
    onUploadBtn();
    return true;
}
