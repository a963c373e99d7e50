// Zones in the store that the scanner has not received: the full read after connecting
// would write the scanner's zones over them, so the user decides first, and a copy of
// them is kept in a zone file whatever the decision.
#include "zonetransfer.h"

#include "scannersession.h"
#include "ui_mainwindow.h"
#include "unsentmarker.h"
#include "windowmodes.h"
#include "windowtexts.h"
#include "zoneeditor.h"
#include "zonestorefile.h"

#include <QDateTime>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>

// Writes the store to a new zone file in the working folder, named after the moment;
// its path, or an empty text with the reason in *error.
QString ZoneTransfer::keepUnsentZonesCopy(QString *error)
{
    QString unreadable;
    const QByteArray bytes = store->bytes(&unreadable);
    if (!unreadable.isEmpty()) {
        *error = unreadable;
        return QString();
    }
    return writeUnsentZonesCopy(bytes, QDir::currentPath(), QDateTime::currentDateTime(), error);
}

// Asked before the full read after connecting. True when the read must not start: the
// user chose to upload the store's changes (the upload has started) or cancelled (the
// link is to close), or the link went away while the question was open.
bool ZoneTransfer::uploadUnsentZonesInstead()
{
    // Edits that only the editor holds count as well.
    editor->saveChannel();
    if (!store->hasUnsentChanges())
        return false;

    QString error;
    const QString copy = keepUnsentZonesCopy(&error);
    const QString kept = copy.isEmpty()
                             ? windowTr("未能保存它们的副本：%1").arg(error)
                             : windowTr("它们的副本已保存在%1").arg(QDir::toNativeSeparators(copy));
    QMessageBox box(QMessageBox::Question, windowTr("提示"),
                    windowTr("区域存储中有尚未写入扫描仪的区域修改，%1。要把这些修改上传到扫描仪，"
                             "还是读取扫描仪的区域替换它们？")
                        .arg(kept),
                    QMessageBox::NoButton, window);
    QPushButton *uploadButton = box.addButton(windowTr("上传修改"), QMessageBox::AcceptRole);
    QPushButton *readButton =
        box.addButton(windowTr("读取扫描仪区域"), QMessageBox::DestructiveRole);
    QPushButton *cancelButton = box.addButton(windowTr("取消"), QMessageBox::RejectRole);
    // Both answers write over one side, so no key takes either: Enter and Escape cancel,
    // which closes the port and leaves the store and the scanner as they were.
    box.setDefaultButton(cancelButton);
    box.setEscapeButton(cancelButton);
    const int connection = session->connection();
    box.exec();
    if (connection != session->connection() || !session->isOpen())
        return true;
    if (box.clickedButton() == readButton)
        return false;
    if (box.clickedButton() != uploadButton) {
        emit unsentZonesKept();
        return true;
    }

    // The window as after a full read, then the upload of the store as it is.
    modes->setMode(WindowMode::Ready);
    upload();
    return true;
}
