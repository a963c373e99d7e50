#include "studiorig.h"
#include "workerthread.h"

#include <QScopeGuard>
#include <QtTest>

namespace {
const QString kSaved = QStringLiteral("parameters are saved successfully");

bool isFilterSet(quint16 type)
{
    return type >= REQUEST_SET_FILTER_ENABLE && type <= REQUEST_SET_MASK_MAX_ANGLE && type % 2 == 0;
}

// The filter set requests the scanner received, as "type:payload-hex".
QStringList filterSets(const StudioRig &rig)
{
    QStringList sets;
    for (const ReceivedFrame &frame : rig.sim.receivedFrames())
        if (isFilterSet(frame.type))
            sets << QStringLiteral("%1:%2")
                        .arg(frame.type)
                        .arg(QString::fromLatin1(frame.payload.toHex()));
    return sets;
}

QString set(quint16 type, const char *payloadHex)
{
    return QStringLiteral("%1:%2").arg(type).arg(QLatin1String(payloadHex));
}

// Connected, read out, and the filter group usable. The read-out itself moves the
// controls to the scanner's values, which echoes them back as set requests; the log
// starts after that.
bool connected(StudioRig &rig, const SimOptions &options = StudioRig::quickOptions())
{
    const bool ready =
        rig.start(options) && rig.connectAndSettle() && rig.ui()->filterGroupBox->isEnabled() &&
        QTest::qWaitFor([&]() { return rig.ui()->npnorpnp->currentText() == "NPN"; }, 3000);
    rig.sim.clearLog();
    return ready;
}
} // namespace

class TestFilterPage : public QObject
{
    Q_OBJECT

    // One connection serves all rows of the control test: each row moves another
    // control away from the scanner's value.
    std::unique_ptr<StudioRig> controlsRig;

private slots:
    void init()
    {
        if (qstrcmp(QTest::currentTestFunction(), "controlsSendTheirValue") != 0)
            controlsRig.reset();
    }
    void cleanupTestCase() { controlsRig.reset(); }

    void controlsSendTheirValue_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("sent");
        QTest::newRow("mask min angle 269.5°")
            << "maskMinAngleSlider" << 539 << "maskMinAngleLabel"
            << "269.5" << set(REQUEST_SET_MASK_MIN_ANGLE, "1b02");
        QTest::newRow("mask max angle 0°") << "maskMaxAngleSlider" << 0 << "maskMaxAngleLabel"
                                           << "0.0" << set(REQUEST_SET_MASK_MAX_ANGLE, "0000");
        QTest::newRow("mask intensity") << "maskIntensitySlider" << 4095 << "maskIntensityLabel"
                                        << "4095" << set(REQUEST_SET_MASK_INTENSITY, "ff0f");
        QTest::newRow("strength") << "filterStrenthSlider" << 42 << "filterStrenthLabel"
                                  << "42" << set(REQUEST_SET_FILTER_STRENGTH, "2a");
        QTest::newRow("min range") << "filterMinRangeSlider" << 65535 << "filterMinRangeLabel"
                                   << "65535" << set(REQUEST_SET_FILTER_MIN_RANGE, "ffff");
        QTest::newRow("max range") << "filterMaxRangeSlider" << 300 << "filterMaxRangeLabel"
                                   << "300" << set(REQUEST_SET_FILTER_MAX_RANGE, "2c01");
        QTest::newRow("shadow filter off") << "filterEnableCheckBox" << 0 << ""
                                           << "" << set(REQUEST_SET_FILTER_ENABLE, "0000");
        QTest::newRow("average filter on") << "averageFilterCheckBox" << 2 << ""
                                           << "" << set(REQUEST_SET_AVERAGE_FILTER, "0100");
        QTest::newRow("input nc on") << "inputNoncCheckBox" << 2 << ""
                                     << "" << set(REQUEST_SET_INPUT_NONC, "0100");
        QTest::newRow("output nc on") << "outputNoncCheckBox" << 2 << ""
                                      << "" << set(REQUEST_SET_OUTPUT_NONC, "0100");
    }

    void controlsSendTheirValue()
    {
        QFETCH(QString, control);
        QFETCH(int, value);
        QFETCH(QString, label);
        QFETCH(QString, shown);
        QFETCH(QString, sent);
        if (!controlsRig) {
            controlsRig = std::make_unique<StudioRig>();
            QVERIFY(connected(*controlsRig));
        }
        StudioRig &rig = *controlsRig;
        rig.sim.clearLog();
        // The label must already show the value when the request leaves.
        QString labelAtSend = QStringLiteral("not sent");
        QLabel *valueLabel = rig.window->findChild<QLabel *>(label);
        const QMetaObject::Connection watch =
            connect(rig.window.get(), &MainWindow::sendRequestType, this, [&]() {
                if (valueLabel)
                    labelAtSend = valueLabel->text();
            });
        const auto unwatch = qScopeGuard([&]() { disconnect(watch); });
        QWidget *widget = rig.window->findChild<QWidget *>(control);
        QVERIFY(widget);
        if (auto *slider = qobject_cast<QSlider *>(widget))
            slider->setValue(value);
        else
            qobject_cast<QCheckBox *>(widget)->setCheckState(Qt::CheckState(value));
        QTRY_COMPARE(filterSets(rig), QStringList{sent});
        if (valueLabel) {
            QCOMPARE(valueLabel->text(), shown);
            QCOMPARE(labelAtSend, shown);
        }
    }

    void cancelRestoresEveryControlInTurn()
    {
        StudioRig rig;
        QVERIFY(connected(rig));
        Ui::MainWindow *ui = rig.ui();
        // The simulated scanner's settings: shadow filter on at 35 over 100..20000 mm, no
        // average filter, both polarities open, mask 0 from 10 to 529 half degrees.
        ui->filterStrenthSlider->setValue(80);
        ui->filterMinRangeSlider->setValue(5);
        ui->filterMaxRangeSlider->setValue(7);
        ui->filterEnableCheckBox->setChecked(false);
        ui->averageFilterCheckBox->setChecked(true);
        ui->inputNoncCheckBox->setChecked(true);
        ui->outputNoncCheckBox->setChecked(true);
        ui->maskIntensitySlider->setValue(9);
        ui->maskMinAngleSlider->setValue(11);
        ui->maskMaxAngleSlider->setValue(12);
        QTRY_COMPARE(filterSets(rig).size(), 10);
        rig.sim.clearLog();

        ui->filterCancelBtn->click();
        const QStringList restored = {
            set(REQUEST_SET_FILTER_STRENGTH, "23"),    set(REQUEST_SET_FILTER_MIN_RANGE, "6400"),
            set(REQUEST_SET_FILTER_MAX_RANGE, "204e"), set(REQUEST_SET_FILTER_ENABLE, "0100"),
            set(REQUEST_SET_AVERAGE_FILTER, "0000"),   set(REQUEST_SET_INPUT_NONC, "0000"),
            set(REQUEST_SET_OUTPUT_NONC, "0000"),      set(REQUEST_SET_MASK_INTENSITY, "0000"),
            set(REQUEST_SET_MASK_MIN_ANGLE, "0a00"),   set(REQUEST_SET_MASK_MAX_ANGLE, "1102")};
        QTRY_COMPARE(filterSets(rig), restored);
        // Spread over the schedule, one at a time.
        const QVector<ReceivedFrame> frames = rig.sim.receivedFrames();
        QVERIFY(frames.last().msecs - frames.first().msecs >= 500);
        QCOMPARE(rig.window->filterSnapshot(),
                 (QStringList{"35", "100", "20000", "1", "0", "0", "0", "0", "10", "529"}));
        QCOMPARE(ui->maskMaxAngleLabel->text(), QStringLiteral("264.5"));
        QVERIFY(ui->filterEnableCheckBox->isChecked());
    }

    void cancelSendsOnlyWhatDiffers_data()
    {
        QTest::addColumn<bool>("strengthUnread");
        QTest::addColumn<int>("moveTo");
        QTest::addColumn<int>("cancels");
        QTest::addColumn<QStringList>("sent");
        QTest::newRow("nothing touched") << false << -1 << 1 << QStringList();
        QTest::newRow("two cancels")
            << false << 60 << 2 << QStringList{set(REQUEST_SET_FILTER_STRENGTH, "23")};
        // A strength the scanner never reported restores as 0.
        QTest::newRow("unread strength")
            << true << 50 << 1 << QStringList{set(REQUEST_SET_FILTER_STRENGTH, "00")};
    }

    void cancelSendsOnlyWhatDiffers()
    {
        QFETCH(bool, strengthUnread);
        QFETCH(int, moveTo);
        QFETCH(int, cancels);
        QFETCH(QStringList, sent);
        StudioRig rig;
        SimOptions options = StudioRig::quickOptions();
        if (strengthUnread)
            options.dropTypes.insert(REQUEST_GET_FILTER_STRENGTH);
        QVERIFY(connected(rig, options));
        if (moveTo >= 0) {
            rig.ui()->filterStrenthSlider->setValue(moveTo);
            QTRY_COMPARE(filterSets(rig).size(), 1);
        }
        rig.sim.clearLog();
        for (int i = 0; i < cancels; ++i) {
            rig.ui()->filterCancelBtn->click();
            QTest::qWait(50);
        }
        QTest::qWait(900);
        QCOMPARE(filterSets(rig), sent);
        QCOMPARE(rig.ui()->filterStrenthSlider->value(), strengthUnread ? 0 : 35);
    }

    void windowClosedDuringCancelIsLeftAlone()
    {
        StudioRig rig;
        QVERIFY(connected(rig));
        rig.ui()->maskMaxAngleSlider->setValue(3);
        QTRY_COMPARE(filterSets(rig).size(), 1);
        rig.ui()->filterCancelBtn->click();
        rig.window.reset();
        rig.sim.clearLog();
        QTest::qWait(800);
        QVERIFY(filterSets(rig).isEmpty());
    }

    void okSavesEvenWhenNothingChanged()
    {
        StudioRig rig;
        QVERIFY(connected(rig));
        rig.ui()->filterOkBtn->click();
        QTRY_VERIFY(rig.boxes.sawText(kSaved));
        QCOMPARE(rig.countOf(REQUEST_SAVE_PARAMETERS), 1);
        QVERIFY(rig.framesOf(REQUEST_SAVE_PARAMETERS).first().payload.isEmpty());
        QVERIFY(filterSets(rig).isEmpty());
    }

    void pagesFollowTheLink()
    {
        StudioRig rig;
        rig.sim.updateState([](DeviceState &s) { s.frequency = 30; });
        QVERIFY(rig.start());
        rig.window->setZoneReadTimeout(60000);
        Ui::MainWindow *ui = rig.ui();
        QList<QWidget *> fields = {ui->distanceLineEdit, ui->scanAngleLineEdit,
                                   ui->scanArealineEdit, ui->deviceFrequencyLineEdit,
                                   ui->angleResolutionComboBox};
        const QStringList defaults = {"10", "0-270", "-45-225", "25"};
        for (int i = 0; i < defaults.size(); ++i)
            QCOMPARE(qobject_cast<QLineEdit *>(fields[i])->text(), defaults[i]);
        QCOMPARE(ui->angleResolutionComboBox->currentText(), QStringLiteral("0.5"));
        QVERIFY(ui->deviceLotLabel->text().isEmpty() && ui->versionLabel->text().isEmpty());

        rig.window->openSelectedPort();
        QTRY_VERIFY_WITH_TIMEOUT(rig.window->isReadingAreas(), 3000);
        QCOMPARE(ui->deviceFrequencyLineEdit->text(), QStringLiteral("30"));
        QVERIFY(!ui->filterGroupBox->isEnabled());
        QVERIFY(!ui->factorySettingsBtn->isEnabled());
        // The scanner reports channel after channel (its zone reads go unanswered here).
        for (int channel = 0; channel < 64; ++channel)
            emit rig.window->worker()->sendReadCurArea(channel);
        QVERIFY(!rig.window->isReadingAreas());
        QVERIFY(ui->filterGroupBox->isEnabled());
        QVERIFY(ui->factorySettingsBtn->isEnabled());
        for (QWidget *field : fields)
            QVERIFY(!field->isEnabled());
        QVERIFY(ui->saveBtn->isHidden());

        ui->openBtn->click();
        QVERIFY(!ui->filterGroupBox->isEnabled());
        QVERIFY(!ui->factorySettingsBtn->isEnabled());
        // The device's values stay on the page until another device replaces them.
        QCOMPARE(ui->deviceLotLabel->text(), QStringLiteral("L24A0815"));
        QCOMPARE(ui->deviceFrequencyLineEdit->text(), QStringLiteral("30"));
    }
};

QTEST_MAIN(TestFilterPage)
#include "tst_filterpage.moc"
