// The window's texts in English: the form translated, no Chinese left in it, the
// messages of the catalogue, and the compiled catalogues against their sources.
#include "formtest.h"

using namespace formtest;

class FormTextTest : public QObject, public FormFixture
{
    Q_OBJECT

private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void englishForm();
    void noChineseLeftInEnglishForm();
    void messages_data();
    void messages();
    void compiledCatalogueMatchesSource();
    void chineseCatalogueIsEmpty();
};

void FormTextTest::englishForm()
{
    installEnglish();

    QCOMPARE(form->tabWidget->tabText(0), QString("DeviceSettings"));
    QCOMPARE(form->tabWidget->tabText(1), QString("AreaConfiguration"));
    QCOMPARE(form->tabWidget->tabText(2), QString("RunningStatus"));
    QCOMPARE(form->filterGroupBox->title(), QString("Settings"));
    QCOMPARE(form->groupBox_5->title(), QString("StatusInformation"));
    QCOMPARE(form->groupBox_9->title(), QString("StatusInformation"));
    QCOMPARE(form->label_11->text(), QString("FirmwareVersion"));
    QCOMPARE(form->label_25->text(), QString("Frequency(Hz)"));
    QCOMPARE(form->readAreaLlabel->text(), QString("ReadingAreaInformation"));
    QCOMPARE(form->downLoadBtn->text(), QString("Read"));
    QCOMPARE(form->uploadBtn->text(), QString("Upload"));
    QCOMPARE(form->backwardDeleteBtn->text(), QString("ForwardDelete"));
    QCOMPARE(form->openBtn->text(), QString("Open"));
    QCOMPARE(form->label_19->text(), QString("Input"));
    QCOMPARE(form->label_33->text(), QString("Output"));
    QCOMPARE(comboItems(form->areas), QStringList({"AttentionArea", "WarningArea", "AlarmArea"}));
    QCOMPARE(comboItems(form->npnorpnp), QStringList({"", "NPN", "PNP"}));

    // Texts without an entry stay as written.
    QCOMPARE(form->filterOkBtn->text(), QString("Ok"));
    QCOMPARE(form->filterCancelBtn->text(), QString("Cancel"));
    QCOMPARE(form->label0->text(), QString("0:"));
}

void FormTextTest::noChineseLeftInEnglishForm()
{
    installEnglish();

    QStringList untranslated;
    const QList<QWidget *> all = window->findChildren<QWidget *>();
    for (QWidget *w : all) {
        QStringList texts{shownText(w)};
        if (auto *combo = qobject_cast<QComboBox *>(w))
            texts << comboItems(combo);
        for (const QString &t : texts)
            if (hasHanCharacters(t))
                untranslated << w->objectName() + ": " + t;
    }
    for (int i = 0; i < form->tabWidget->count(); ++i)
        if (hasHanCharacters(form->tabWidget->tabText(i)))
            untranslated << "tab " + form->tabWidget->tabText(i);
    QVERIFY2(untranslated.isEmpty(), qPrintable(untranslated.join("; ")));
}

void FormTextTest::messages_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("shown");

    const QList<QPair<const char *, const char *>> rows{
        // Entries the code looks up outside the form.
        {"配置", "Configuration"},
        {"监控", "Monitoring"},
        {"关闭", "Close"},
        {"串口错误", "SerialPort Error"},
        {"串口断开连接，请检查连接是否正常",
         "The serial port is disconnected. Check whether the connection is normal"},
        {"读取区域信息超时，未能读取区域",
         "Reading the zones timed out: the zones could not be read from the scanner"},
        {"参数保存成功", "parameters are saved successfully"},
        {"偏置距离设置成功", "OffsetDistanceSetSu  ccessfully"},
        {"偏置距离设置失败", "OffsetDistanceSetFailed"},
        {"返回值:", "ReturnValue:"},
        {"警告", "Warnning"},
        {"您确定要恢复出厂设置吗?", "Are you sure you want to restore factory Settings?"},
        {"您确定要更新固件吗?", "Are you sure you want to update the firmware"},
        {"当前进度为:", "CurrentProgress:"},
        {"md5校验成功", "md5 checked successfully"},
        {"提交更新失败，更新失败", "Failed to commit update, update failed"},
        // Texts the catalogue must not know.
        {"提示", "提示"},
        {"串口不匹配，请选择其他串口!", "串口不匹配，请选择其他串口!"},
        {"加载资源失败", "加载资源失败"},
        {"加载QSS失败", "加载QSS失败"},
        {"Inofomation", "Inofomation"},
        {"Ok", "Ok"},
        {"Cancel", "Cancel"},
        {"Save Settings File", "Save Settings File"},
        {"Open Settings File", "Open Settings File"},
        {"Settings (*.ini)", "Settings (*.ini)"},
        {"bin(*.bin)", "bin(*.bin)"},
    };
    for (const auto &r : rows)
        QTest::newRow(r.first) << QString::fromUtf8(r.first) << QString::fromUtf8(r.second);
}

void FormTextTest::messages()
{
    QFETCH(QString, source);
    QFETCH(QString, shown);
    installEnglish();
    QCOMPARE(QCoreApplication::translate("MainWindow", source.toUtf8().constData()), shown);
}

void FormTextTest::compiledCatalogueMatchesSource()
{
    // Every entry of the Linguist source must survive compilation byte for byte,
    // including leading blanks and doubled spaces.
    QFile ts(QStringLiteral(FORM_EN_TS));
    QVERIFY(ts.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&ts);
    QTranslator compiled;
    QVERIFY(compiled.load(QStringLiteral(FORM_EN_QM)));

    int entries = 0;
    QString source;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("source")) {
            source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            QVERIFY2(xml.attributes().value("type").isEmpty(), qPrintable(source));
            const QString english = xml.readElementText();
            QVERIFY2(!english.isEmpty(), qPrintable(source));
            QCOMPARE(compiled.translate("MainWindow", source.toUtf8().constData()), english);
            ++entries;
        }
    }
    QVERIFY(!xml.hasError());
    QVERIFY(entries > 80);
}

void FormTextTest::chineseCatalogueIsEmpty()
{
    QTranslator chinese;
    QVERIFY(chinese.load(QStringLiteral(FORM_CN_QM)));
    QVERIFY(chinese.isEmpty());
    QCOMPARE(chinese.translate("MainWindow", "设备配置"), QString());
}

QTEST_MAIN(FormTextTest)
#include "tst_formtext.moc"
