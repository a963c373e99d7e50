// The window's form as the .ui file builds it: its widgets, their names, kinds, places,
// texts and ranges, the frame, the indicators, the shape buttons and the initial size
// (its texts in English: tst_formtext).
#include "formtest.h"

using namespace formtest;

class FormTest : public QObject, public FormFixture
{
    Q_OBJECT

private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void widgets_data();
    void widgets();
    void windowFrame();
    void indicatorsAreFramedAndCentred();
    void shapeButtons();
    void fitsInitialSize();
};

void FormTest::widgets_data()
{
    QTest::addColumn<ExpectedWidget>("expected");
    const QSize inputIndicator(16, 20), outputIndicator(16, 16);
    const QStringList delays = numbers(51, 40);

    const QList<ExpectedWidget> all{
        // frame
        expect("centralwidget", "QWidget", "MainWindow"),
        expect("logoLabel", "QLabel", "centralwidget").withText("").sizes({206, 45}, {206, 45}),
        expect("treeWidget", "QTreeWidget", "centralwidget"),
        expect("tabWidget", "QTabWidget", "centralwidget"),
        expect("menubar", "QMenuBar", "MainWindow"),
        expect("statusbar", "QStatusBar", "MainWindow"),
        expect("deviceTab", "QWidget", "tabWidget"),
        expect("areaTab", "QWidget", "tabWidget"),
        expect("stateTab", "QWidget", "tabWidget"),

        // device page: product information
        expect("groupBox_7", "QGroupBox", "deviceTab").withText("产品信息"),
        expect("label_2", "QLabel", "groupBox_7").withText("产品型号"),
        expect("label_4", "QLabel", "groupBox_7").withText("制造商"),
        expect("label_7", "QLabel", "groupBox_7").withText("设备批次号"),
        expect("label_9", "QLabel", "groupBox_7").withText("出厂序列号"),
        expect("label_11", "QLabel", "groupBox_7").withText("固件版本号 "),
        expect("deviceModelLabel", "QLabel", "groupBox_7").withText(""),
        expect("manufacturerLabel", "QLabel", "groupBox_7").withText(""),
        expect("deviceLotLabel", "QLabel", "groupBox_7").withText(""),
        expect("deviceSerialLabel", "QLabel", "groupBox_7").withText(""),
        expect("versionLabel", "QLabel", "groupBox_7").withText(""),

        // device page: serial port panel
        expect("groupBox_8", "QGroupBox", "deviceTab").withText("串口设置"),
        expect("label_23", "QLabel", "groupBox_8").withText("串口号"),
        expect("portName", "QComboBox", "groupBox_8").withItems({}),
        expect("label_24", "QLabel", "groupBox_8").withText("波特率"),
        expect("baudRate", "QComboBox", "groupBox_8").withItems({"921600"}),
        expect("refreshBtn", "QPushButton", "groupBox_8").withText("刷新"),
        expect("openBtn", "QPushButton", "groupBox_8").withText("打开"),
        expect("readAreaLlabel", "QLabel", "groupBox_8").withText(" 正在读取区域信息"),
        expect("readAreaProgressBar", "QProgressBar", "groupBox_8").withRange(0, 63),

        // device page: operating parameters
        expect("operationParaGroupBox", "QGroupBox", "deviceTab").withText("运行配置参数"),
        expect("label_10", "QLabel", "operationParaGroupBox").withText("里程(m)"),
        expect("label_12", "QLabel", "operationParaGroupBox").withText("设备扫描角度范围(°)"),
        expect("label_14", "QLabel", "operationParaGroupBox").withText("有效扫描角度范围(°)"),
        expect("label_25", "QLabel", "operationParaGroupBox").withText("设备频率(Hz）"),
        expect("label_18", "QLabel", "operationParaGroupBox").withText("扫描角度分辨率(°)"),
        expect("distanceLineEdit", "QLineEdit", "operationParaGroupBox").withText("10").disabled(),
        expect("scanAngleLineEdit", "QLineEdit", "operationParaGroupBox")
            .withText("0-270")
            .disabled(),
        expect("scanArealineEdit", "QLineEdit", "operationParaGroupBox")
            .withText("-45-225")
            .disabled(),
        expect("deviceFrequencyLineEdit", "QLineEdit", "operationParaGroupBox")
            .withText("25")
            .disabled(),
        expect("angleResolutionComboBox", "QComboBox", "operationParaGroupBox")
            .withItems({"0.5"})
            .disabled(),
        expect("saveBtn", "QPushButton", "operationParaGroupBox").withText("保存"),
        expect("factorySettingsBtn", "QPushButton", "operationParaGroupBox")
            .withText("恢复出厂设置")
            .disabled(),
        expect("resetFactoryLabel", "QLabel", "operationParaGroupBox").withText("正在恢复出厂设置"),
        expect("resetFactoryProgressBar", "QProgressBar", "operationParaGroupBox").withRange(0, 63),

        // device page: firmware update
        expect("groupBox_3", "QGroupBox", "deviceTab").withText("固件更新"),
        expect("selectFirmwareBtn", "QPushButton", "groupBox_3").withText("选择固件"),
        expect("firmwareFileLineEdit", "QLineEdit", "groupBox_3").withText(""),
        expect("updateFirmwareBtn", "QPushButton", "groupBox_3").withText("更新").disabled(),
        expect("firmwarePlainTextEdit", "QPlainTextEdit", "groupBox_3").readOnlyField(),

        // status page: filter settings
        expect("stateGraphicsView", "LaserScanView", "stateTab"),
        expect("filterGroupBox", "QGroupBox", "stateTab")
            .withText(" 设置")
            .disabled()
            .sizes({190, 0}),
        expect("label_47", "QLabel", "filterGroupBox").withText("模式"),
        expect("npnorpnp", "QComboBox", "filterGroupBox").withItems({"", "NPN", "PNP"}).disabled(),
        expect("filterEnableCheckBox", "QCheckBox", "filterGroupBox").withText("拖尾滤波"),
        expect("averageFilterCheckBox", "QCheckBox", "filterGroupBox").withText("平均滤波"),
        expect("inputNoncCheckBox", "QCheckBox", "filterGroupBox").withText("输入常闭"),
        expect("outputNoncCheckBox", "QCheckBox", "filterGroupBox").withText("输出常闭"),
        expect("label_41", "QLabel", "filterGroupBox").withText("拖尾滤波强度"),
        expect("label_42", "QLabel", "filterGroupBox").withText("拖尾滤波最小距离"),
        expect("label_43", "QLabel", "filterGroupBox").withText("拖尾滤波最大距离"),
        expect("label_44", "QLabel", "filterGroupBox").withText("屏蔽强度"),
        expect("label_45", "QLabel", "filterGroupBox").withText("最小屏蔽角度"),
        expect("label_46", "QLabel", "filterGroupBox").withText("最大屏蔽角度"),
        expect("filterStrenthSlider", "QSlider", "filterGroupBox").withRange(0, 100),
        expect("filterMinRangeSlider", "QSlider", "filterGroupBox").withRange(0, 65535),
        expect("filterMaxRangeSlider", "QSlider", "filterGroupBox").withRange(0, 65535),
        expect("maskIntensitySlider", "QSlider", "filterGroupBox").withRange(0, 4095),
        expect("maskMinAngleSlider", "QSlider", "filterGroupBox").withRange(0, 539),
        expect("maskMaxAngleSlider", "QSlider", "filterGroupBox").withRange(0, 539),
        expect("filterStrenthLabel", "QLabel", "filterGroupBox").withText("0"),
        expect("filterMinRangeLabel", "QLabel", "filterGroupBox").withText("0"),
        expect("filterMaxRangeLabel", "QLabel", "filterGroupBox").withText("0"),
        expect("maskIntensityLabel", "QLabel", "filterGroupBox").withText("0000"),
        expect("maskMinAngleLabel", "QLabel", "filterGroupBox").withText("0000"),
        expect("maskMaxAngleLabel", "QLabel", "filterGroupBox").withText("0000"),
        expect("filterOkBtn", "QPushButton", "filterGroupBox").withText("Ok").sizes({60, 28}),
        expect("filterCancelBtn", "QPushButton", "filterGroupBox")
            .withText("Cancel")
            .sizes({60, 28}),

        // status page: running status
        expect("groupBox_5", "QGroupBox", "stateTab").withText("状态信息"),
        expect("label_19", "QLabel", "groupBox_5").withText("输入端子:"),
        expect("curAreaIndexLabel_2", "QLabel", "groupBox_5").withText("当前生效区域:"),
        expect("curAreaIndexLabel", "QLabel", "groupBox_5").withText(""),
        expect("label_32", "QLabel", "groupBox_5").withText("输出端子:"),
        expect("stateInOne", "QLabel", "groupBox_5").withText("1").sizes(inputIndicator),
        expect("stateInTwo", "QLabel", "groupBox_5").withText("2").sizes(inputIndicator),
        expect("stateInThree", "QLabel", "groupBox_5").withText("3").sizes(inputIndicator),
        expect("stateInFour", "QLabel", "groupBox_5").withText("4").sizes(inputIndicator),
        expect("stateInFive", "QLabel", "groupBox_5").withText("5").sizes(inputIndicator),
        expect("stateInSix", "QLabel", "groupBox_5").withText("6").sizes(inputIndicator),
        expect("stateOutOne", "QLabel", "groupBox_5").withText("1").sizes(outputIndicator),
        expect("stateOutTwo", "QLabel", "groupBox_5").withText("2").sizes(outputIndicator),
        expect("stateOutThree", "QLabel", "groupBox_5").withText("3").sizes(outputIndicator),
        expect("stateOutFour", "QLabel", "groupBox_5").withText("4").sizes(outputIndicator),

        // zone page: everything but the view sits in the group an upload disables
        expect("areaMonitorGraphicsView", "LGraphicsView", "areaTab"),
        expect("areasMonitoningGroupBox", "QGroupBox", "areaTab").disabled(),
        expect("channels", "QComboBox", "areasMonitoningGroupBox").withItems(numbers(64, 1)),
        expect("areas", "QComboBox", "areasMonitoningGroupBox")
            .withItems({"注意区", "预警区", "报警区"}),
        expect("onDelayComboBox", "QComboBox", "areasMonitoningGroupBox").withItems(delays),
        expect("offDelayComboBox", "QComboBox", "areasMonitoningGroupBox").withItems(delays),
        expect("hysteresisComboBox", "QComboBox", "areasMonitoningGroupBox")
            .withItems(numbers(101, 1)),
        expect("detectableSizeComboBox", "QComboBox", "areasMonitoningGroupBox")
            .withItems(halfDegrees()),
        expect("backwardDeleteBtn", "QPushButton", "areasMonitoningGroupBox").withText("逆序删除"),
        expect("polygonBtn", "QToolButton", "areasMonitoningGroupBox")
            .withText("...")
            .sizes({30, 30}, {60, 40}),
        expect("arcBtn", "QToolButton", "areasMonitoningGroupBox")
            .withText("...")
            .sizes({30, 30}, {60, 40}),
        expect("rectangleBtn", "QToolButton", "areasMonitoningGroupBox")
            .withText("...")
            .sizes({30, 30}, {60, 40}),
        expect("downLoadBtn", "QPushButton", "areasMonitoningGroupBox").withText(" 读取"),
        expect("uploadBtn", "QPushButton", "areasMonitoningGroupBox").withText(" 上传"),
        expect("saveSettingsBtn", "QPushButton", "areaTab").withText("保存配置"),
        expect("loadSettingsBtn", "QPushButton", "areaTab").withText("加载配置"),
        expect("progressLabel", "QLabel", "areasMonitoningGroupBox").withText("当前进度"),
        expect("progressBar", "QProgressBar", "areasMonitoningGroupBox").withRange(0, 63),
        expect("lineEditX", "QLineEdit", "areasMonitoningGroupBox").withText("").readOnlyField(),
        expect("lineEditY", "QLineEdit", "areasMonitoningGroupBox").withText("").readOnlyField(),
        expect("lineEditD", "QLineEdit", "areasMonitoningGroupBox").withText("").readOnlyField(),
        expect("lineEdit0", "QLineEdit", "areasMonitoningGroupBox").withText("").readOnlyField(),
        expect("tableView", "QTableView", "areasMonitoningGroupBox"),
        expect("groupBox_9", "QGroupBox", "areasMonitoningGroupBox").withText("状态信息"),
        expect("label_21", "QLabel", "groupBox_9").withText("输入:"),
        expect("label_33", "QLabel", "groupBox_9").withText("输出:"),
        expect("stateInOne_2", "QLabel", "groupBox_9").withText("1").sizes(inputIndicator),
        expect("stateInTwo_2", "QLabel", "groupBox_9").withText("2").sizes(inputIndicator),
        expect("stateInThree_2", "QLabel", "groupBox_9").withText("3").sizes(inputIndicator),
        expect("stateInFour_2", "QLabel", "groupBox_9").withText("4").sizes(inputIndicator),
        expect("stateInFive_2", "QLabel", "groupBox_9").withText("5").sizes(inputIndicator),
        expect("stateInSix_2", "QLabel", "groupBox_9").withText("6").sizes(inputIndicator),
        expect("stateOutOne_2", "QLabel", "groupBox_9").withText("1").sizes(outputIndicator),
        expect("stateOutTwo_2", "QLabel", "groupBox_9").withText("2").sizes(outputIndicator),
        expect("stateOutThree_2", "QLabel", "groupBox_9").withText("3").sizes(outputIndicator),
        expect("stateOutFour_2", "QLabel", "groupBox_9").withText("4").sizes(outputIndicator),
    };
    for (const ExpectedWidget &s : all)
        QTest::newRow(qPrintable(s.name)) << s;
}

void FormTest::widgets()
{
    QFETCH(ExpectedWidget, expected);

    const QList<QWidget *> found = window->findChildren<QWidget *>(expected.name);
    QCOMPARE(found.size(), 1);
    QWidget *w = found.first();
    QVERIFY2(w->inherits(expected.className), w->metaObject()->className());
    QVERIFY2(expected.container == "MainWindow" || hasAncestor(w, expected.container),
             qPrintable("not inside " + expected.container));
    // Own state only: children of a disabled group report disabled as well.
    QCOMPARE(!w->testAttribute(Qt::WA_ForceDisabled), expected.enabled);

    if (!expected.text.isNull())
        QCOMPARE(shownText(w), expected.text);
    if (auto *combo = qobject_cast<QComboBox *>(w)) {
        QCOMPARE(comboItems(combo), expected.items);
        QVERIFY(!combo->isEditable());
    }
    if (auto *slider = qobject_cast<QSlider *>(w)) {
        QCOMPARE(slider->minimum(), expected.minimum);
        QCOMPARE(slider->maximum(), expected.maximum);
        QCOMPARE(slider->orientation(), Qt::Horizontal);
        QCOMPARE(slider->singleStep(), 1);
        QCOMPARE(slider->pageStep(), 10);
        QCOMPARE(slider->value(), 0);
    }
    if (auto *bar = qobject_cast<QProgressBar *>(w)) {
        QCOMPARE(bar->minimum(), expected.minimum);
        QCOMPARE(bar->maximum(), expected.maximum);
        QCOMPARE(bar->value(), 0);
    }
    if (auto *edit = qobject_cast<QLineEdit *>(w))
        QCOMPARE(edit->isReadOnly(), expected.readOnly);
    if (auto *edit = qobject_cast<QPlainTextEdit *>(w))
        QCOMPARE(edit->isReadOnly(), expected.readOnly);
    if (expected.minSize.isValid())
        QCOMPARE(w->minimumSize(), expected.minSize);
    if (expected.maxSize.isValid())
        QCOMPARE(w->maximumSize(), expected.maxSize);
}

void FormTest::windowFrame()
{
    QCOMPARE(window->size(), QSize(995, 893));
    QCOMPARE(window->centralWidget(), form->centralwidget);
    // The menu bar holds the File, Edit and View menus, in that order.
    const QList<QAction *> menus = form->menubar->actions();
    QCOMPARE(menus.size(), 3);
    QCOMPARE(menus.at(0)->menu(), form->menuFile);
    QCOMPARE(menus.at(1)->menu(), form->menuEdit);
    QCOMPARE(menus.at(2)->menu(), form->menuView);

    QTabWidget *tabs = form->tabWidget;
    QCOMPARE(tabs->tabPosition(), QTabWidget::South);
    QVERIFY(tabs->tabsClosable());
    QVERIFY(!tabs->isMovable());
    QVERIFY(!tabs->tabBarAutoHide());
    QCOMPARE(tabs->count(), 3);
    QCOMPARE(tabs->widget(0), form->deviceTab);
    QCOMPARE(tabs->widget(1), form->areaTab);
    QCOMPARE(tabs->widget(2), form->stateTab);
    QCOMPARE(tabs->tabText(0), QString("设备配置"));
    QCOMPARE(tabs->tabText(1), QString("区域监测配置"));
    QCOMPARE(tabs->tabText(2), QString("运行状态"));
    QCOMPARE(tabs->currentIndex(), 2);

    // Left column: the logo above the navigation tree, the tab widget beside them.
    QLayout *central = form->centralwidget->layout();
    QVERIFY(central);
    QLayout *left = central->itemAt(0)->layout();
    QVERIFY(left);
    QCOMPARE(left->itemAt(0)->widget(), form->logoLabel);
    QCOMPARE(left->itemAt(1)->widget(), form->treeWidget);
    QCOMPARE(central->itemAt(1)->widget(), form->tabWidget);

    QVERIFY(form->logoLabel->font().bold());
    QCOMPARE(form->logoLabel->font().pointSize(), 11);
    QCOMPARE(form->logoLabel->alignment(), Qt::Alignment(Qt::AlignCenter));

    // The code reaches the promoted views through their own class interfaces.
    QVERIFY(qobject_cast<LGraphicsView *>(form->areaMonitorGraphicsView));
    QVERIFY(qobject_cast<LaserScanView *>(form->stateGraphicsView));
    QCOMPARE(form->tableView->contextMenuPolicy(), Qt::CustomContextMenu);
}

void FormTest::indicatorsAreFramedAndCentred()
{
    for (const QString &name : indicatorNames) {
        auto *label = window->findChild<QLabel *>(name);
        QVERIFY2(label, qPrintable(name));
        QCOMPARE(label->frameShape(), QFrame::WinPanel);
        QCOMPARE(label->alignment(), Qt::Alignment(Qt::AlignCenter));
        // Until the first status message only the state colours may style them.
        QVERIFY(label->styleSheet().isEmpty());
    }
}

void FormTest::shapeButtons()
{
    const QList<QToolButton *> buttons{form->polygonBtn, form->arcBtn, form->rectangleBtn};
    for (QToolButton *b : buttons) {
        QVERIFY(b->isCheckable());
        QVERIFY(b->autoExclusive());
        QVERIFY(!b->isChecked());
        QVERIFY2(!b->icon().pixmap(24, 24).isNull(), qPrintable(b->objectName()));
        // Auto-exclusivity only works between siblings.
        QCOMPARE(b->parentWidget(), form->polygonBtn->parentWidget());
    }
    QVERIFY(form->polygonBtn->parentWidget()->inherits("QGroupBox"));
    QCOMPARE(static_cast<QGroupBox *>(form->polygonBtn->parentWidget())->title(),
             QString("图形选项"));

    form->areasMonitoningGroupBox->setEnabled(true);
    form->polygonBtn->click();
    form->arcBtn->click();
    QVERIFY(form->arcBtn->isChecked());
    QVERIFY(!form->polygonBtn->isChecked());
}

void FormTest::fitsInitialSize()
{
    // Every page must fit the initial window without squashing, in both languages.
    for (int pass = 0; pass < 2; ++pass) {
        if (pass == 1)
            installEnglish();
        const QSize needed = window->minimumSizeHint();
        QVERIFY2(needed.width() <= 995 && needed.height() <= 893,
                 qPrintable(QString("needs %1 x %2").arg(needed.width()).arg(needed.height())));
    }
}

QTEST_MAIN(FormTest)
#include "tst_form.moc"
