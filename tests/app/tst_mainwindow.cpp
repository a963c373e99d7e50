#include "mainwindow.h"
#include "modalcatcher.h"
#include "testsupport.h"
#include "ui_mainwindow.h"

#include <QFile>
#include <QImage>
#include <QSettings>
#include <QtTest>

namespace {
QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QTreeWidgetItem *treeItem(QTreeWidget *tree, const QString &text)
{
    const QList<QTreeWidgetItem *> found =
        tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.first();
}

QStringList tabTexts(QTabWidget *tabs)
{
    QStringList texts;
    for (int i = 0; i < tabs->count(); ++i)
        texts << tabs->tabText(i);
    return texts;
}
} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void createsDefaultProductInformation()
    {
        TempWorkingDir dir;
        {
            MainWindow window;
            QCOMPARE(window.windowTitle(), QStringLiteral("RZ-KTM  V1.2.0"));
            QCOMPARE(window.ui()->manufacturerLabel->text(), QStringLiteral("Veltrona"));
            QCOMPARE(window.ui()->deviceModelLabel->text(), QStringLiteral("KP-21D"));
            QCOMPARE(window.ui()->treeWidget->headerItem()->text(0), QStringLiteral("KP-21D"));
        }
        QSettings stored(dir.filePath("settings.ini"), QSettings::IniFormat);
        QCOMPARE(stored.value("ProductInformation/windowTitle").toString(),
                 QStringLiteral("RZ-KTM"));
        QCOMPARE(stored.value("ProductInformation/manufacturer").toString(),
                 QStringLiteral("Veltrona"));
        QCOMPARE(stored.value("ProductInformation/deviceModel").toString(),
                 QStringLiteral("KP-21D"));
    }

    void leavesExistingProductInformationAlone()
    {
        TempWorkingDir dir;
        const QByteArray original("[ProductInformation]\nwindowTitle=Field Unit 7\n");
        {
            QFile file(dir.filePath("settings.ini"));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(original);
        }
        {
            MainWindow window;
            QCOMPARE(window.windowTitle(), QStringLiteral("Field Unit 7  V1.2.0"));
            QCOMPARE(window.ui()->manufacturerLabel->text(), QString());
            QCOMPARE(window.ui()->deviceModelLabel->text(), QString());
            QCOMPARE(window.ui()->treeWidget->headerItem()->text(0), QString());
        }
        QCOMPARE(readFile(dir.filePath("settings.ini")), original);
    }

    void startsWithDeviceTabAndLockedPages()
    {
        TempWorkingDir dir;
        MainWindow window;
        Ui::MainWindow *ui = window.ui();
        QCOMPARE(ui->tabWidget->count(), 1);
        QCOMPARE(ui->tabWidget->widget(0), ui->deviceTab);
        QVERIFY(!ui->treeWidget->isEnabled());
        QVERIFY(!ui->areasMonitoningGroupBox->isEnabled());
        QVERIFY(!ui->filterGroupBox->isEnabled());
        QVERIFY(!ui->factorySettingsBtn->isEnabled());
        QVERIFY(!ui->updateFirmwareBtn->isEnabled());
        QVERIFY(!ui->npnorpnp->isEnabled());
        QVERIFY(ui->saveBtn->isHidden());
        QVERIFY(ui->readAreaProgressBar->isHidden());
        QVERIFY(ui->progressBar->isHidden());
        QVERIFY(ui->resetFactoryProgressBar->isHidden());
        QVERIFY(ui->firmwarePlainTextEdit->isReadOnly());
        QVERIFY(ui->openBtn->isCheckable());
        QVERIFY(window.styleSheet().contains(QLatin1String("rgb(206, 247, 191)")));
    }

    void treeOpensAndSelectsTabs()
    {
        TempWorkingDir dir;
        MainWindow window;
        Ui::MainWindow *ui = window.ui();
        QTabWidget *tabs = ui->tabWidget;
        QTreeWidget *tree = ui->treeWidget;
        QTreeWidgetItem *device = treeItem(tree, "DeviceSettings");
        QTreeWidgetItem *zones = treeItem(tree, "AreaConfiguration");
        QTreeWidgetItem *status = treeItem(tree, "RunningStatus");
        QVERIFY(device && zones && status);

        // Status appended at index 1: index 2 lies beyond the single open tab.
        emit tree->itemClicked(status, 0);
        QCOMPARE(tabs->count(), 2);
        QCOMPARE(tabs->widget(1), ui->stateTab);
        QCOMPARE(tabs->currentWidget(), ui->stateTab);

        emit tree->itemClicked(zones, 0);
        QCOMPARE(tabs->count(), 3);
        QCOMPARE(tabs->widget(1), ui->areaTab);
        QCOMPARE(tabs->currentIndex(), 1);

        // An open page is only selected.
        emit tree->itemClicked(device, 0);
        QCOMPARE(tabs->count(), 3);
        QCOMPARE(tabs->currentIndex(), 0);

        // Top-level items change nothing.
        const QStringList before = tabTexts(tabs);
        emit tree->itemClicked(treeItem(tree, "Configuration"), 0);
        emit tree->itemClicked(treeItem(tree, "Monitoring"), 0);
        QCOMPARE(tabTexts(tabs), before);
        QCOMPARE(tabs->currentIndex(), 0);

        // Closing the middle tab removes exactly that one, and the tree brings it back.
        emit tabs->tabCloseRequested(1);
        QCOMPARE(tabs->count(), 2);
        QCOMPARE(tabs->widget(0), ui->deviceTab);
        QCOMPARE(tabs->widget(1), ui->stateTab);
        emit tree->itemClicked(zones, 0);
        QCOMPARE(tabs->widget(1), ui->areaTab);
        QCOMPARE(tabTexts(tabs),
                 (QStringList{"DeviceSettings", "AreaConfiguration", "RunningStatus"}));

        // The device tab comes back at index 0 after it was closed.
        emit tabs->tabCloseRequested(0);
        QCOMPARE(tabs->indexOf(ui->deviceTab), -1);
        emit tree->itemClicked(device, 0);
        QCOMPARE(tabs->indexOf(ui->deviceTab), 0);
    }

    void prefersPngLogo()
    {
        TempWorkingDir dir;
        QVERIFY(QDir().mkpath("images"));
        QImage png(40, 20, QImage::Format_RGB32);
        png.fill(Qt::red);
        QVERIFY(png.save("images/logo.png"));
        QImage jpg(40, 20, QImage::Format_RGB32);
        jpg.fill(Qt::blue);
        QVERIFY(jpg.save("images/logo.jpg"));

        MainWindow window;
        window.resize(1000, 900);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.resize(1010, 910);
        QTRY_VERIFY(!window.ui()->logoLabel->pixmap(Qt::ReturnByValue).isNull());
        const QImage shown = window.ui()->logoLabel->pixmap(Qt::ReturnByValue).toImage();
        QCOMPARE(shown.size(), QSize(206, 45));
        QCOMPARE(QColor(shown.pixel(100, 20)), QColor(Qt::red));

        QVERIFY(QFile::remove("images/logo.png"));
        window.resize(1020, 920);
        // JPEG is lossy: only the hue is reliable.
        QTRY_VERIFY(
            QColor(window.ui()->logoLabel->pixmap(Qt::ReturnByValue).toImage().pixel(100, 20))
                .blue() > 200);
    }

    void showsEnglishTexts()
    {
        TempWorkingDir dir;
        MainWindow window;
        Ui::MainWindow *ui = window.ui();
        QCOMPARE(ui->tabWidget->tabText(0), QStringLiteral("DeviceSettings"));
        QVERIFY(treeItem(ui->treeWidget, "Configuration"));
        QVERIFY(treeItem(ui->treeWidget, "Monitoring"));
        QCOMPARE(ui->groupBox_8->title(), QStringLiteral("SerialSettings"));
        QCOMPARE(ui->groupBox_7->title(), QStringLiteral("DeviceInformation"));
        QCOMPARE(ui->filterGroupBox->title(), QStringLiteral("Settings"));
        QCOMPARE(ui->openBtn->text(), QStringLiteral("Open"));
        QCOMPARE(ui->refreshBtn->text(), QStringLiteral("Refresh"));
        QCOMPARE(ui->factorySettingsBtn->text(), QStringLiteral("RestoreFactorySettings"));
        QCOMPARE(ui->backwardDeleteBtn->text(), QStringLiteral("ForwardDelete"));
        QCOMPARE(ui->areas->itemText(0), QStringLiteral("AttentionArea"));
        // Texts without a catalogue entry stay as written.
        QCOMPARE(ui->filterOkBtn->text(), QStringLiteral("Ok"));
        QCOMPARE(ui->filterCancelBtn->text(), QStringLiteral("Cancel"));
        QCOMPARE(MainWindow::tr("提示"), QStringLiteral("提示"));
        QCOMPARE(MainWindow::tr("串口不匹配，请选择其他串口!"),
                 QStringLiteral("串口不匹配，请选择其他串口!"));
        QCOMPARE(MainWindow::tr("串口断开连接，请检查连接是否正常"),
                 QStringLiteral("The serial port is disconnected. Check whether the connection "
                                "is normal"));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
