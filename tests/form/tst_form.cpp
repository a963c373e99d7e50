#include "laserscanview.h"
#include "lgraphicsview.h"
#include "testsupport.h"
#include "ui_mainwindow.h"

#include <QFile>
#include <QMainWindow>
#include <QTranslator>
#include <QXmlStreamReader>
#include <QtWidgets>

namespace {

// What one widget of the form must look like. Unset members are not checked.
struct ExpectedWidget
{
    QString name;
    QByteArray className;
    QString container; // an ancestor the widget must sit in
    QString text;      // text, title or line-edit contents; null: not checked
    QStringList items; // checked for combo boxes
    int minimum = 0;   // range of sliders and progress bars
    int maximum = -1;
    bool enabled = true;
    bool readOnly = false;
    QSize minSize;
    QSize maxSize;

    ExpectedWidget &withText(const QString &t)
    {
        text = t;
        return *this;
    }
    ExpectedWidget &withItems(const QStringList &l)
    {
        items = l;
        return *this;
    }
    ExpectedWidget &withRange(int min, int max)
    {
        minimum = min;
        maximum = max;
        return *this;
    }
    ExpectedWidget &disabled()
    {
        enabled = false;
        return *this;
    }
    ExpectedWidget &readOnlyField()
    {
        readOnly = true;
        return *this;
    }
    ExpectedWidget &sizes(QSize min, QSize max = QSize())
    {
        minSize = min;
        maxSize = max;
        return *this;
    }
};

ExpectedWidget expect(const char *name, const char *className, const char *container)
{
    ExpectedWidget s;
    s.name = QString::fromLatin1(name);
    s.className = className;
    s.container = QString::fromLatin1(container);
    return s;
}

QStringList numbers(int count, int step)
{
    QStringList list;
    for (int k = 0; k < count; ++k)
        list << QString::number(k * step);
    return list;
}

QStringList halfDegrees()
{
    QStringList list{"0"};
    for (int k = 1; k <= 10; ++k)
        list << QString::number(k * 0.5, 'f', 1);
    return list;
}

bool hasAncestor(const QWidget *w, const QString &name)
{
    for (const QWidget *p = w->parentWidget(); p; p = p->parentWidget())
        if (p->objectName() == name)
            return true;
    return false;
}

QString shownText(const QWidget *w)
{
    if (auto *l = qobject_cast<const QLabel *>(w))
        return l->text();
    if (auto *b = qobject_cast<const QAbstractButton *>(w))
        return b->text();
    if (auto *e = qobject_cast<const QLineEdit *>(w))
        return e->text();
    if (auto *g = qobject_cast<const QGroupBox *>(w))
        return g->title();
    return QString();
}

QStringList comboItems(const QComboBox *c)
{
    QStringList list;
    for (int i = 0; i < c->count(); ++i)
        list << c->itemText(i);
    return list;
}

bool hasHanCharacters(const QString &s)
{
    for (const QChar c : s) {
        const ushort u = c.unicode();
        if ((u >= 0x4E00 && u <= 0x9FFF) || (u >= 0x3000 && u <= 0x303F) ||
            (u >= 0xFF00 && u <= 0xFFEF))
            return true;
    }
    return false;
}

const QStringList indicatorNames{
    "stateInOne",   "stateInTwo",    "stateInThree",   "stateInFour",     "stateInFive",
    "stateInSix",   "stateOutOne",   "stateOutTwo",    "stateOutThree",   "stateOutFour",
    "stateInOne_2", "stateInTwo_2",  "stateInThree_2", "stateInFour_2",   "stateInFive_2",
    "stateInSix_2", "stateOutOne_2", "stateOutTwo_2",  "stateOutThree_2", "stateOutFour_2"};

} // namespace

Q_DECLARE_METATYPE(ExpectedWidget)

class FormTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void widgets_data();
    void widgets();
    void windowFrame();
    void indicatorsAreFramedAndCentred();
    void shapeButtons();
    void fitsInitialSize();

    void englishForm();
    void noChineseLeftInEnglishForm();
    void messages_data();
    void messages();
    void compiledCatalogueMatchesSource();
    void chineseCatalogueIsEmpty();

private:
    void installEnglish();

    TempWorkingDir *workDir = nullptr;
    QMainWindow *window = nullptr;
    Ui::MainWindow *form = nullptr;
    QTranslator *translator = nullptr;
};

void FormTest::init()
{
    workDir = new TempWorkingDir;
    window = new QMainWindow;
    form = new Ui::MainWindow;
    form->setupUi(window);
}

void FormTest::cleanup()
{
    if (translator) {
        QCoreApplication::removeTranslator(translator);
        delete translator;
        translator = nullptr;
    }
    delete form;
    delete window;
    delete workDir;
    form = nullptr;
    window = nullptr;
    workDir = nullptr;
}

void FormTest::installEnglish()
{
    translator = new QTranslator;
    QVERIFY2(translator->load(QStringLiteral(FORM_EN_QM)), FORM_EN_QM);
    QVERIFY(QCoreApplication::installTranslator(translator));
    form->retranslateUi(window);
}

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

void FormTest::englishForm()
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

void FormTest::noChineseLeftInEnglishForm()
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

void FormTest::messages_data()
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

void FormTest::messages()
{
    QFETCH(QString, source);
    QFETCH(QString, shown);
    installEnglish();
    QCOMPARE(QCoreApplication::translate("MainWindow", source.toUtf8().constData()), shown);
}

void FormTest::compiledCatalogueMatchesSource()
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

void FormTest::chineseCatalogueIsEmpty()
{
    QTranslator chinese;
    QVERIFY(chinese.load(QStringLiteral(FORM_CN_QM)));
    QVERIFY(chinese.isEmpty());
    QCOMPARE(chinese.translate("MainWindow", "设备配置"), QString());
}

QTEST_MAIN(FormTest)
#include "tst_form.moc"
