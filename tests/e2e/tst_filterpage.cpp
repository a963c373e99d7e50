#include "studiorig.h"
#include "workerthread.h"

#include <QStatusBar>
#include <QtTest>

#include <new>

namespace {
// The filter set requests the scanner received, as "type:payload-hex".
QStringList filterSets(const StudioRig &rig)
{
    QStringList sets;
    for (const ReceivedFrame &f : rig.sim.receivedFrames())
        if (f.type >= REQUEST_SET_FILTER_ENABLE && f.type <= REQUEST_SET_MASK_MAX_ANGLE &&
            f.type % 2 == 0)
            sets << QStringLiteral("%1:%2").arg(f.type).arg(QString(f.payload.toHex()));
    return sets;
}

QString set(quint16 type, const char *payloadHex)
{
    return QStringLiteral("%1:%2").arg(type).arg(QLatin1String(payloadHex));
}

// Connected and read out. The read-out moves the controls to the scanner's values (shadow
// filter on at 35 over 100..20000 mm, mask 0 over 10..529), which echoes them back as
// set requests; the log starts after that.
bool connected(StudioRig &rig, const SimOptions &options = StudioRig::withoutZoneReads())
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

private slots:
    void controlsSendTheirValue()
    {
        QStringList labelsAtSend; // outlives the window that fills it
        StudioRig rig;
        QVERIFY(connected(rig));
        Ui::MainWindow *ui = rig.ui();
        // Each label must show the value before its request leaves.
        connect(rig.window.get(), &MainWindow::sendRequestType, this, [&]() {
            labelsAtSend << ui->maskMinAngleLabel->text() + " " + ui->filterStrenthLabel->text();
        });
        ui->maskMinAngleSlider->setValue(539);
        ui->filterStrenthSlider->setValue(42);
        ui->filterEnableCheckBox->setChecked(false);
        ui->averageFilterCheckBox->setChecked(true);
        QCOMPARE(labelsAtSend.mid(0, 2), (QStringList{"269.5 35", "269.5 42"}));
        QTRY_COMPARE(filterSets(rig), (QStringList{set(REQUEST_SET_MASK_MIN_ANGLE, "1b02"),
                                                   set(REQUEST_SET_FILTER_STRENGTH, "2a"),
                                                   set(REQUEST_SET_FILTER_ENABLE, "0000"),
                                                   set(REQUEST_SET_AVERAGE_FILTER, "0100")}));
    }

    void cancelRestoresEveryControlInTurn()
    {
        StudioRig rig;
        QVERIFY(connected(rig));
        Ui::MainWindow *ui = rig.ui();
        for (QSlider *s :
             {ui->filterStrenthSlider, ui->filterMinRangeSlider, ui->filterMaxRangeSlider,
              ui->maskIntensitySlider, ui->maskMinAngleSlider, ui->maskMaxAngleSlider})
            s->setValue(3);
        for (QCheckBox *box : {ui->filterEnableCheckBox, ui->averageFilterCheckBox,
                               ui->inputNoncCheckBox, ui->outputNoncCheckBox})
            box->toggle();
        QTRY_COMPARE(filterSets(rig).size(), 10);
        rig.sim.clearLog();

        ui->filterCancelBtn->click();
        QTRY_COMPARE(
            filterSets(rig),
            (QStringList{
                set(REQUEST_SET_FILTER_STRENGTH, "23"), set(REQUEST_SET_FILTER_MIN_RANGE, "6400"),
                set(REQUEST_SET_FILTER_MAX_RANGE, "204e"), set(REQUEST_SET_FILTER_ENABLE, "0100"),
                set(REQUEST_SET_AVERAGE_FILTER, "0000"), set(REQUEST_SET_INPUT_NONC, "0000"),
                set(REQUEST_SET_OUTPUT_NONC, "0000"), set(REQUEST_SET_MASK_INTENSITY, "0000"),
                set(REQUEST_SET_MASK_MIN_ANGLE, "0a00"), set(REQUEST_SET_MASK_MAX_ANGLE, "1102")}));
        const QVector<ReceivedFrame> frames = rig.sim.receivedFrames();
        QVERIFY(frames.last().msecs - frames.first().msecs >= 500); // one at a time
        QCOMPARE(ui->maskMaxAngleLabel->text(), QStringLiteral("264.5"));
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
        SimOptions options = StudioRig::withoutZoneReads();
        if (strengthUnread)
            options.dropTypes.insert(REQUEST_GET_FILTER_STRENGTH);
        QVERIFY(connected(rig, options));
        if (moveTo >= 0) {
            rig.ui()->filterStrenthSlider->setValue(moveTo);
            QTRY_COMPARE(filterSets(rig).size(), 1);
            rig.sim.clearLog();
        }
        for (int i = 0; i < cancels; ++i) {
            rig.ui()->filterCancelBtn->click();
            QTest::qWait(50);
        }
        QTest::qWait(900);
        QCOMPARE(filterSets(rig), sent);
    }

    void windowClosedDuringCancelIsLeftAlone()
    {
        // Timers that outlived their window would move whatever window lives at its address
        // next. One is built there on purpose, its controls away from its own committed
        // values: the old schedule must leave them where they are.
        StudioRig rig;
        QVERIFY(connected(rig));
        rig.ui()->maskMaxAngleSlider->setValue(3);
        rig.ui()->filterCancelBtn->click();
        MainWindow *closed = rig.window.release();
        void *place = closed;
        closed->~MainWindow();
        rig.window.reset(new (place) MainWindow);
        QCOMPARE(static_cast<void *>(rig.window.get()), place);
        const QList<QSlider *> sliders = rig.ui()->filterGroupBox->findChildren<QSlider *>();
        QCOMPARE(sliders.size(), 6);
        rig.ui()->filterMaxRangeSlider->setValue(3); // before the minimum, which may not pass it
        for (QSlider *slider : sliders)
            slider->setValue(3);
        QTest::qWait(800);
        for (QSlider *slider : sliders)
            QVERIFY2(slider->value() == 3, qPrintable(slider->objectName()));
    }

    void refusalsAreReportedAndNotCommitted_data()
    {
        QTest::addColumn<quint16>("refused");
        QTest::addColumn<QString>("box");
        QTest::newRow("setting") << quint16(REQUEST_SET_FILTER_STRENGTH)
                                 << "The scanner refused these settings: ShadowFilterStrenth; the "
                                    "other parameters were saved";
        QTest::newRow("save") << quint16(REQUEST_SAVE_PARAMETERS)
                              << "The scanner refused to save the parameters (status 5); nothing "
                                 "was saved";
    }

    void refusalsAreReportedAndNotCommitted()
    {
        QFETCH(quint16, refused);
        QFETCH(QString, box);
        SimOptions options = StudioRig::withoutZoneReads();
        options.statusOverrides = {{refused, 5}};
        StudioRig rig;
        QVERIFY(connected(rig, options));
        Ui::MainWindow *ui = rig.ui();
        ui->filterStrenthSlider->setValue(60);
        ui->averageFilterCheckBox->setChecked(true);
        const bool settingRefused = refused == REQUEST_SET_FILTER_STRENGTH;
        if (settingRefused) {
            // The control goes back to what the scanner kept, without sending it again.
            QTRY_COMPARE(ui->filterStrenthSlider->value(), 35);
            QCOMPARE(ui->filterStrenthLabel->text(), QStringLiteral("35"));
            QCOMPARE(rig.window->statusBar()->currentMessage(),
                     QStringLiteral("The scanner refused the setting ShadowFilterStrenth (status "
                                    "5); the control shows the value the scanner kept"));
        }
        QTRY_COMPARE(rig.sim.state().averageFilter, true);
        ui->filterOkBtn->click();
        QTRY_VERIFY(rig.boxes.sawText(box));
        QVERIFY(!rig.boxes.sawText("parameters are saved successfully"));
        QCOMPARE(rig.countOf(REQUEST_SET_FILTER_STRENGTH), 1);
        // Cancel restores what the scanner accepted and saved: the refused strength never
        // was, the accepted average filter only when the save went through.
        const QStringList snapshot = rig.window->filterPanel()->committedValues();
        QCOMPARE(snapshot.at(0), QStringLiteral("35"));
        QCOMPARE(snapshot.at(4), QString(settingRefused ? "1" : "0"));
        rig.sim.clearLog();
        ui->filterCancelBtn->click();
        QTest::qWait(900);
        const QStringList restored = {set(REQUEST_SET_FILTER_STRENGTH, "23"),
                                      set(REQUEST_SET_AVERAGE_FILTER, "0000")};
        QCOMPARE(filterSets(rig), settingRefused ? QStringList() : restored);
    }

    void minimumAboveMaximumIsNotSent()
    {
        StudioRig rig;
        QVERIFY(connected(rig)); // 100 to 20000 mm
        Ui::MainWindow *ui = rig.ui();
        const QString why = QStringLiteral("The shadow filter's minimum range %1 cannot be above "
                                           "its maximum range %2; the setting was not sent");
        ui->filterMinRangeSlider->setValue(30000);
        QCOMPARE(ui->filterMinRangeSlider->value(), 100);
        QCOMPARE(ui->filterMinRangeLabel->text(), QStringLiteral("100"));
        QCOMPARE(rig.window->statusBar()->currentMessage(), why.arg(30000).arg(20000));
        ui->filterMaxRangeSlider->setValue(50);
        QCOMPARE(ui->filterMaxRangeSlider->value(), 20000);
        QCOMPARE(rig.window->statusBar()->currentMessage(), why.arg(100).arg(50));
        // Equal ranges are a range.
        ui->filterMinRangeSlider->setValue(20000);
        ui->filterMaxRangeSlider->setValue(25000);
        QTRY_COMPARE(filterSets(rig), (QStringList{set(REQUEST_SET_FILTER_MIN_RANGE, "204e"),
                                                   set(REQUEST_SET_FILTER_MAX_RANGE, "a861")}));
        QCOMPARE(rig.sim.state().filterMinRange, quint16(20000));
    }

    void okSavesEvenWhenNothingChanged()
    {
        StudioRig rig;
        QVERIFY(connected(rig));
        rig.ui()->filterOkBtn->click();
        QTRY_VERIFY(rig.boxes.sawText("parameters are saved successfully"));
        QCOMPARE(rig.countOf(REQUEST_SAVE_PARAMETERS), 1);
        QVERIFY(rig.framesOf(REQUEST_SAVE_PARAMETERS).first().payload.isEmpty());
    }

    void settingsUnlockFromTheFullZoneReadUntilClosing()
    {
        StudioRig rig;
        rig.sim.updateState([](DeviceState &s) { s.frequency = 30; });
        QVERIFY(rig.start(StudioRig::withoutZoneReads()));
        rig.window->scannerSession()->zoneRead()->setTimeout(60000);
        Ui::MainWindow *ui = rig.ui();
        rig.window->serialPanel()->openSelectedPort();
        QTRY_VERIFY_WITH_TIMEOUT(rig.window->scannerSession()->zoneRead()->isRunning(), 3000);
        QCOMPARE(ui->deviceFrequencyLineEdit->text(), QStringLiteral("30"));
        QVERIFY(!ui->filterGroupBox->isEnabled() && !ui->factorySettingsBtn->isEnabled());
        // The scanner reports channel after channel (its zone reads go unanswered here).
        for (int channel = 0; channel < 64; ++channel)
            emit rig.window->scannerSession()->worker()->sendZoneChannel(channel,
                                                                         ZoneChannelRecord());
        QTRY_VERIFY(ui->filterGroupBox->isEnabled() && ui->factorySettingsBtn->isEnabled());
        QVERIFY(!ui->deviceFrequencyLineEdit->isEnabled() && ui->saveBtn->isHidden());

        ui->openBtn->click();
        QVERIFY(!ui->filterGroupBox->isEnabled() && !ui->factorySettingsBtn->isEnabled());
        QCOMPARE(ui->deviceLotLabel->text(), QStringLiteral("L24A0815"));
    }
};

QTEST_MAIN(TestFilterPage)
#include "tst_filterpage.moc"
