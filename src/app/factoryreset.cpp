// Factory reset: the filter values and the zones of factorySettings.ini, sent through the
// filter page's own controls and the zone page's normal upload.
#include "mainwindow.h"

#include "appfolders.h"
#include "filterpanel.h"
#include "scannersession.h"
#include "ui_mainwindow.h"
#include "zoneeditor.h"
#include "zonestorefile.h"

#include <QFile>
#include <QMessageBox>
#include <QSettings>
#include <QTimer>

void MainWindow::onFactorySettingsBtn()
{
    // Without the file every filter value would go to 0 and the zones of all 64 channels
    // would be cleared on the scanner: refuse before anything is sent. The working folder's
    // own file wins over the one the installation ships.
    const QString factoryPath = factorySettingsPath();
    QFile file(factoryPath);
    if (factoryPath.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        QMessageBox::critical(this, tr("提示"),
                              tr("未找到或无法读取出厂设置文件factorySettings.ini，未恢复任何设置"),
                              QMessageBox::Ok);
        return;
    }
    file.close();
    if (QMessageBox::warning(this, tr("警告"), tr("您确定要恢复出厂设置吗?"),
                             QMessageBox::Yes | QMessageBox::No,
                             QMessageBox::NoButton) != QMessageBox::Yes)
        return;

    QSettings factory(factoryPath, QSettings::IniFormat);
    if (factory.status() != QSettings::NoError) {
        QMessageBox::critical(this, tr("提示"),
                              tr("未找到或无法读取出厂设置文件factorySettings.ini，未恢复任何设置"),
                              QMessageBox::Ok);
        return;
    }
    // The same schedule as the filter page's Cancel: a control already at its factory value
    // does not change and sends nothing.
    filterPanel->takeFactoryValues(factory);
    filterPanel->restoreCommitted();
    QTimer::singleShot(700, this,
                       [this]() { emit sendRequestType(REQUEST_SAVE_PARAMETERS, QString()); });

    // Until the upload below has reached channel 63, the store holds zones the scanner
    // has not received.
    zoneStore->takeFactoryZones(factory);
    factory.sync();
    // No step of the history may be taken back over the factory zones.
    editor->clearHistory();
    factoryResetInProgress = true;

    QTimer::singleShot(1000, this, [this]() {
        // A link closed in the meantime cannot take the zones; the next upload is then the
        // user's own again.
        if (!session->isOpen() || !form->uploadBtn->isEnabled()) {
            factoryResetInProgress = false;
            return;
        }
        form->uploadBtn->click();
    });
}
