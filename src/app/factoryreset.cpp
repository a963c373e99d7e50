#include "factoryreset.h"

#include "appfolders.h"
#include "filterpanel.h"
#include "scannersession.h"
#include "ui_mainwindow.h"
#include "windowmodes.h"
#include "windowtexts.h"
#include "zoneeditor.h"
#include "zonestorefile.h"
#include "zonetransfer.h"

#include <QFile>
#include <QMessageBox>
#include <QSettings>
#include <QTimer>

FactoryReset::FactoryReset(Ui::MainWindow *form, QWidget *window, ScannerSession *session,
                           WindowModes *modes, FilterPanel *filters, ZoneStoreFile *store,
                           ZoneEditor *editor, ZoneTransfer *transfer, QObject *parent)
    : QObject(parent), window(window), session(session), modes(modes), filters(filters),
      store(store), editor(editor), transfer(transfer)
{
    connect(form->factorySettingsBtn, &QPushButton::clicked, this, &FactoryReset::restore);
    connect(transfer, &ZoneTransfer::uploadEnded, this, [this]() { running = false; });
}

void FactoryReset::restore()
{
    // Without the file every filter value would go to 0 and the zones of all 64 channels
    // would be cleared on the scanner: refuse before anything is sent. The working folder's
    // own file wins over the one the installation ships.
    const QString factoryPath = factorySettingsPath();
    QFile file(factoryPath);
    if (factoryPath.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        QMessageBox::critical(
            window, windowTr("提示"),
            windowTr("未找到或无法读取出厂设置文件factorySettings.ini，未恢复任何设置"),
            QMessageBox::Ok);
        return;
    }
    file.close();
    if (QMessageBox::warning(window, windowTr("警告"), windowTr("您确定要恢复出厂设置吗?"),
                             QMessageBox::Yes | QMessageBox::No,
                             QMessageBox::NoButton) != QMessageBox::Yes)
        return;

    QSettings factory(factoryPath, QSettings::IniFormat);
    if (factory.status() != QSettings::NoError) {
        QMessageBox::critical(
            window, windowTr("提示"),
            windowTr("未找到或无法读取出厂设置文件factorySettings.ini，未恢复任何设置"),
            QMessageBox::Ok);
        return;
    }
    // The same schedule as the filter page's Cancel: a control already at its factory value
    // does not change and sends nothing.
    filters->takeFactoryValues(factory);
    filters->restoreCommitted();
    QTimer::singleShot(700, this,
                       [this]() { emit sendRequestType(REQUEST_SAVE_PARAMETERS, QString()); });

    // Until the upload below has reached channel 63, the store holds zones the scanner
    // has not received.
    store->takeFactoryZones(factory);
    factory.sync();
    // No step of the history may be taken back over the factory zones.
    editor->clearHistory();
    running = true;

    QTimer::singleShot(1000, this, [this]() {
        // A link closed in the meantime cannot take the zones; the next upload is then the
        // user's own again.
        if (!session->isOpen() || !modes->isOn(WindowModes::ScannerZones)) {
            running = false;
            return;
        }
        transfer->uploadFactoryZones();
    });
}
