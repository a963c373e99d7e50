#pragma once

#include <QObject>
#include <QString>

#include <functional>

class FilterPanel;
class QAction;
class QMainWindow;
class QProgressBar;
class WindowModes;
class ZoneEditor;
class ZoneStoreFile;

namespace Ui {
class MainWindow;
}

// The commissioning report from the window: the File menu's action, and the PDF of what
// the window shows and holds, its pages counted in the status bar while they are drawn.
class ReportExport : public QObject
{
    Q_OBJECT

public:
    ReportExport(Ui::MainWindow *form, QMainWindow *window, WindowModes *modes,
                 ZoneStoreFile *store, ZoneEditor *editor, const FilterPanel *filters,
                 QObject *parent = nullptr);

    // Replaces the dialog that asks where the report goes.
    void setFileProvider(std::function<QString()> provider) { fileProvider = std::move(provider); }
    // File, Export report: asks for the file and writes the report.
    void exportReport();

private:
    QString askFileName();

    Ui::MainWindow *form;
    QMainWindow *window;
    WindowModes *modes;
    ZoneStoreFile *store;
    ZoneEditor *editor;
    const FilterPanel *filters;
    std::function<QString()> fileProvider;
    QAction *action = nullptr;
    QProgressBar *progressBar = nullptr;
};
