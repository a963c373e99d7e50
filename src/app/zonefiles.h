#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QWidget;
class ZoneEditor;
class ZoneStoreFile;

namespace Ui {
class MainWindow;
}

// User zone files: the whole zone store copied to a file of the user's choice and back.
// Its buttons are the zone page's save and load buttons.
class ZoneFiles : public QObject
{
    Q_OBJECT

public:
    ZoneFiles(Ui::MainWindow *form, QWidget *window, ZoneStoreFile *store, ZoneEditor *editor,
              QObject *parent = nullptr);

    // Replaces the dialogs that ask for a zone file name (save true: the save dialog).
    void setFileProvider(std::function<QString(bool save)> provider)
    {
        fileProvider = std::move(provider);
    }
    QString askFileName(bool save);

    // SaveConfig: the store written to a zone file the user names; false when nothing was
    // written (cancelled, refused or failed, each said in a box).
    bool saveToChosenFile();
    // LoadConfig: a file the user names replaces the store.
    void loadChosenFile();
    // LoadConfig's work on a file already named: refused (with the box, and *refusal in
    // English) unless the strict reading takes it; otherwise one step of the editor's history.
    bool load(const QString &name, QString *refusal = nullptr);

private:
    QWidget *window;
    ZoneStoreFile *store;
    ZoneEditor *editor;
    std::function<QString(bool save)> fileProvider;
};
