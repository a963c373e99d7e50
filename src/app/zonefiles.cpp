// User zone files: the whole zone store copied to a file of the user's choice and back.
#include "zonefiles.h"

#include "applog.h"
#include "outputfiles.h"
#include "ui_mainwindow.h"
#include "windowtexts.h"
#include "zoneeditor.h"
#include "zonefilecheck.h"
#include "zonestorefile.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QSaveFile>

ZoneFiles::ZoneFiles(Ui::MainWindow *form, QWidget *window, ZoneStoreFile *store,
                     ZoneEditor *editor, QObject *parent)
    : QObject(parent), window(window), store(store), editor(editor)
{
    connect(form->saveSettingsBtn, &QPushButton::clicked, this, &ZoneFiles::saveToChosenFile);
    connect(form->loadSettingsBtn, &QPushButton::clicked, this, &ZoneFiles::loadChosenFile);
}

QString ZoneFiles::askFileName(bool save)
{
    if (fileProvider)
        return fileProvider(save);
    const QString filter = QStringLiteral("Settings (*.ini)");
    // The dialog does not ask whether to replace a file: that question comes after the
    // refusals, and only for a file that may be replaced.
    return save ? askSaveFileName(window, QStringLiteral("Save Settings File"),
                                  QStringLiteral("./"), filter)
                : QFileDialog::getOpenFileName(window, QStringLiteral("Open Settings File"),
                                               QStringLiteral("./"), filter);
}

bool ZoneFiles::saveToChosenFile()
{
    const QString name = askFileName(true);
    if (name.isEmpty())
        return false;
    const QString target =
        chosenOutputFile(window, name, !fileProvider, windowTr("无法保存区域配置文件%1：%2"),
                         windowTr("%1是本工具自己的文件，区域配置文件不能保存在它上面"));
    if (target.isEmpty())
        return false;
    if (!editor->saveChannel())
        return false; // a file without the latest edits is not what the user asked for

    // The new file is written completely beside the old one and only then takes its
    // place, so a full disk or a read-only folder leaves the user's old file as it was.
    QString error;
    const QByteArray bytes = store->bytes(&error);
    if (error.isEmpty()) {
        QSaveFile file(target);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
            error = file.errorString();
    }
    if (!error.isEmpty()) {
        QMessageBox::critical(
            window, windowTr("提示"),
            windowTr("无法保存区域配置文件%1：%2").arg(QDir::toNativeSeparators(name), error),
            QMessageBox::Ok);
        return false;
    }
    return true;
}

void ZoneFiles::loadChosenFile()
{
    const QString name = askFileName(false);
    if (!name.isEmpty())
        load(name);
}

bool ZoneFiles::load(const QString &name, QString *refusal)
{
    // Only a file the scanner could take exactly as it stands replaces the store: a wrong
    // or broken file would otherwise reach the scanner with the next upload and clear or
    // wrap its zones. A refused file leaves the store and the editor as they are.
    const ZoneFile file = readZoneFile(name);
    if (!file.ok()) {
        if (refusal)
            *refusal = describeZoneFileProblem(file.problem, name);
        qCDebug(lcApp) << file.read << ";wrtie:" << false << ";size:" << file.bytes.size()
                       << ";write size:" << 0;
        const QString shownName = QDir::toNativeSeparators(name);
        const ZoneFileProblem::Kind kind = file.problem.kind;
        const bool unread = kind == ZoneFileProblem::NotARegularFile ||
                            kind == ZoneFileProblem::TooLarge ||
                            (kind == ZoneFileProblem::Unreadable && !file.read);
        QMessageBox::critical(window, windowTr("提示"),
                              unread ? windowTr("无法读取区域配置文件%1：%2")
                                           .arg(shownName, zoneFileProblemText(file.problem))
                                     : windowTr("区域配置文件%1未加载：%2")
                                           .arg(shownName, zoneFileProblemText(file.problem)),
                              QMessageBox::Ok);
        return false;
    }
    // The editor takes the file as one step of its history and shows its channel 0; the
    // edits it held belong to the old store and are not saved over the new one.
    const ZoneStoreFile::Copy copy =
        editor->takeZoneFile(file, windowTr("加载%1").arg(QFileInfo(name).fileName()));
    qCDebug(lcApp) << file.read << ";wrtie:" << copy.opened << ";size:" << file.bytes.size()
                   << ";write size:" << copy.written;
    if (!copy.stored) {
        if (refusal)
            *refusal = QStringLiteral("cannot write the zone store config.ini: %1").arg(copy.error);
        QMessageBox::critical(window, windowTr("提示"),
                              windowTr("无法写入区域存储config.ini：%1").arg(copy.error),
                              QMessageBox::Ok);
        return false;
    }
    return true;
}
