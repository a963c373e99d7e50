// The filter panel inside a window without a link: the scanner's answers are handed to it
// as the window's result dispatcher does, and what it sends is read off the window.

#include "studiorig.h"

#include <QSignalSpy>
#include <QStatusBar>
#include <QtTest>

namespace {
// The requests sent since the spy was cleared, as "type=value".
QStringList sent(const QSignalSpy &spy)
{
    QStringList out;
    for (const QList<QVariant> &call : spy)
        out << QStringLiteral("%1=%2")
                   .arg(call.at(0).value<RequestType>())
                   .arg(call.at(1).toString());
    return out;
}

QString request(RequestType type, const char *value = "")
{
    return QStringLiteral("%1=%2").arg(type).arg(QLatin1String(value));
}

struct Window
{
    StudioRig rig;
    MainWindow &window = rig.windowAlone();
    ModalCatcher &boxes = rig.boxes;
    Ui::MainWindow *ui = window.ui();
    FilterPanel *panel = window.filterPanel();
    QSignalSpy requests{&window, &MainWindow::sendRequestType};

    // The read-out after connecting: strength 35 over 100..20000 mm, flags off, mask 0;
    // the group is enabled once the zones are read.
    void readOut()
    {
        window.modes()->setMode(WindowMode::Ready);
        const QList<QPair<RequestType, const char *>> replies = {
            {REQUEST_GET_FILTER_ENABLE, "0"},      {REQUEST_GET_FILTER_STRENGTH, "35"},
            {REQUEST_GET_FILTER_MIN_RANGE, "100"}, {REQUEST_GET_FILTER_MAX_RANGE, "20000"},
            {REQUEST_GET_AVERAGE_FILTER, "0"},     {REQUEST_GET_INPUT_NONC, "0"},
            {REQUEST_GET_OUTPUT_NONC, "0"},        {REQUEST_GET_MASK_INTENSITY, "0"},
            {REQUEST_GET_MASK_MIN_ANGLE, "0"},     {REQUEST_GET_MASK_MAX_ANGLE, "0"}};
        for (const auto &r : replies)
            QVERIFY(panel->takeResult(r.first, QLatin1String(r.second)));
        requests.clear();
    }
};
} // namespace

class TestFilterPanel : public QObject
{
    Q_OBJECT

private slots:
    void resultsOfOtherPagesAreLeftToTheWindow()
    {
        Window w;
        QVERIFY(w.panel);
        QVERIFY(!w.panel->takeResult(REQUEST_SERIAL_NUMBER, "S1"));
        QVERIFY(!w.panel->takeResult(REQUEST_SET_FILTER_STRENGTH, "0"));
        w.panel->onSettingRefused(REQUEST_SET_FREQUENCY, 3);
        QVERIFY(w.requests.isEmpty());
        QVERIFY(w.window.statusBar()->currentMessage().isEmpty());
    }

    // OK's answer may come before the scanner's answer to the read that follows a
    // refusal: the commit then waits for it, so Cancel never restores the refused value.
    void aSaveBeforeTheReadBackCommitsAfterIt_data()
    {
        QTest::addColumn<int>("refused"); // the set request
        QTest::addColumn<int>("snapshotIndex");
        QTest::addColumn<QString>("kept"); // what the scanner answers to the read
        QTest::newRow("a slider") << int(REQUEST_SET_FILTER_STRENGTH) << 0 << "35";
        QTest::newRow("a check box") << int(REQUEST_SET_INPUT_NONC) << 5 << "0";
    }
    void aSaveBeforeTheReadBackCommitsAfterIt()
    {
        QFETCH(int, refused);
        QFETCH(int, snapshotIndex);
        QFETCH(QString, kept);
        Window w;
        w.readOut();
        w.ui->filterStrenthSlider->setValue(60);
        w.ui->inputNoncCheckBox->setChecked(true);
        w.ui->averageFilterCheckBox->setChecked(true); // accepted
        w.requests.clear();

        w.panel->onSettingRefused(RequestType(refused), 5);
        const RequestType read = RequestType(refused - 1);
        QCOMPARE(sent(w.requests), QStringList{request(read)});
        w.requests.clear();
        QVERIFY(w.panel->takeResult(REQUEST_SAVE_PARAMETERS, "0"));
        QCOMPARE(w.boxes.count(), 1);
        QVERIFY(w.boxes.boxes().first().text.startsWith("The scanner refused these settings: "));
        // Nothing is committed while the control still shows the refused value.
        QCOMPARE(w.window.filterPanel()->committedValues().at(4), QStringLiteral("0"));

        QVERIFY(w.panel->takeResult(read, kept));
        QVERIFY(w.requests.isEmpty()); // the scanner's value is shown, not sent back
        const QStringList snapshot = w.window.filterPanel()->committedValues();
        QCOMPARE(snapshot.at(snapshotIndex), kept);
        QCOMPARE(snapshot.at(4), QStringLiteral("1"));
        QCOMPARE(w.ui->filterStrenthLabel->text(),
                 QString(refused == REQUEST_SET_FILTER_STRENGTH ? "35" : "60"));

        // A later reply to the same read is an ordinary one again.
        QVERIFY(w.panel->takeResult(read, "1"));
        QCOMPARE(w.requests.size(), 1);
    }

    void aClosedLinkTakesItsRefusalsAlong()
    {
        Window w;
        w.readOut();
        w.ui->filterStrenthSlider->setValue(60);
        w.panel->onSettingRefused(REQUEST_SET_FILTER_STRENGTH, 5);
        w.panel->forgetRefusals();
        // The read asked for the refusal is now an ordinary answer.
        QVERIFY(w.panel->takeResult(REQUEST_SAVE_PARAMETERS, "0"));
        QVERIFY(w.boxes.sawText("parameters are saved successfully"));
        QCOMPARE(w.window.filterPanel()->committedValues().first(), QStringLiteral("60"));
        QVERIFY(w.panel->takeResult(REQUEST_GET_FILTER_STRENGTH, "35"));
        QCOMPARE(w.window.filterPanel()->committedValues().first(), QStringLiteral("35"));
    }

    // Only the user's own moves are held to minimum <= maximum; the scanner's values and
    // the committed values Cancel restores are shown as they are.
    void theRangeOrderHoldsTheUserOnly()
    {
        Window w;
        w.readOut();
        QVERIFY(w.panel->takeResult(REQUEST_GET_FILTER_MIN_RANGE, "30000"));
        QCOMPARE(w.ui->filterMinRangeSlider->value(), 30000);
        QCOMPARE(sent(w.requests), QStringList{request(REQUEST_SET_FILTER_MIN_RANGE, "30000")});
        QVERIFY(w.window.statusBar()->currentMessage().isEmpty());

        w.ui->filterMinRangeSlider->setValue(40000);
        QCOMPARE(w.ui->filterMinRangeSlider->value(), 30000);
        QVERIFY(!w.window.statusBar()->currentMessage().isEmpty());
        w.ui->filterMinRangeSlider->setValue(500);
        w.requests.clear();
        w.ui->filterCancelBtn->click();
        QTRY_COMPARE(w.ui->filterMinRangeSlider->value(), 30000);
        QCOMPARE(sent(w.requests), QStringList{request(REQUEST_SET_FILTER_MIN_RANGE, "30000")});
        QCOMPARE(w.ui->filterMinRangeLabel->text(), QStringLiteral("30000"));
    }
};

QTEST_MAIN(TestFilterPanel)
#include "tst_filterpanel.moc"
