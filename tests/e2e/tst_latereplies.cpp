// The window when the scanner's answers come late: an upload whose acknowledgements can no
// longer be placed, a comparison with the scanner followed by a late block, a firmware
// chunk acknowledged late. None of them may be taken for the answer to a later step.
#include "studiorig.h"
#include "zoneset.h"
#include "zonestorefile.h"

#include <QAbstractButton>
#include <QFile>
#include <QtTest>

namespace {

// An edit of channel 63 that only the store holds (the editor shows another channel).
ZoneChannelRecord editChannel63(StudioRig &rig)
{
    ZoneStoreFile *store = rig.window->zoneStoreFile();
    ZoneChannelRecord areas = store->zones().channel(63);
    areas[1].hysteresis = quint8(areas[1].hysteresis + 9);
    store->setChannel(63, areas);
    return areas;
}

} // namespace

class TestLateReplies : public QObject
{
    Q_OBJECT

private slots:
    void uploadNotConfirmedLeavesTheZonesUnsent_data()
    {
        QTest::addColumn<bool>("refuse");
        QTest::addColumn<QString>("message");
        QTest::newRow("block 63 never answered")
            << false
            << "Uploading the zones stopped at channel 63: the scanner did not acknowledge it";
        QTest::newRow("block 63 refused")
            << true
            << "Uploading the zones stopped at channel 63: the scanner refused it (status 1)";
    }
    void uploadNotConfirmedLeavesTheZonesUnsent()
    {
        QFETCH(bool, refuse);
        QFETCH(QString, message);
        StudioRig rig;
        QVERIFY(rig.start());
        rig.window->scannerSession()->zoneWrite()->setTimeout(100);
        QVERIFY(rig.connectAndRead());
        QVERIFY(rig.window->zoneEditor()->editedChannel() != 63);
        editChannel63(rig);
        // Block 5's acknowledgement comes after the block went again; block 63 is refused
        // or never answered.
        rig.sim.updateOptions([refuse](SimOptions &o) {
            o.answerDelays = {{REQUEST_WRITE_AREA, 6, 150}};
            (refuse ? o.refuseZoneBlock : o.dropZoneBlock) = 63;
        });
        QTest::mouseClick(rig.ui()->uploadBtn, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(rig.boxes.sawText(message), 10000);
        QCOMPARE(rig.boxes.count(), 1);
        QVERIFY(rig.window->isEnabled());
        QVERIFY(rig.window->zoneStoreFile()->hasUnsentChanges());

        // The next connection asks before it reads the scanner's zones over the edit.
        rig.sim.updateOptions([](SimOptions &o) { o.refuseZoneBlock = o.dropZoneBlock = -1; });
        QTest::mouseClick(rig.ui()->openBtn, Qt::LeftButton); // close
        int questions = 0;
        rig.boxes.setHold([&](QMessageBox *box) {
            if (box->icon() != QMessageBox::Question)
                return false;
            ++questions;
            for (QAbstractButton *button : box->buttons())
                if (button->text() == "Upload the changes")
                    button->click();
            return true;
        });
        rig.window->serialPanel()->openSelectedPort();
        QTRY_COMPARE_WITH_TIMEOUT(questions, 1, 5000);
        // Uploaded this time, the zones are on the scanner.
        QTRY_VERIFY_WITH_TIMEOUT(!rig.window->zoneStoreFile()->hasUnsentChanges(), 10000);
        QCOMPARE(int(rig.sim.state().zone(63, 1).hysteresis),
                 int(rig.window->zoneStoreFile()->zones().area(63, 1).hysteresis));
    }

    void lateBlockAfterAComparisonLeavesTheStoreAlone()
    {
        StudioRig rig;
        QVERIFY(rig.start());
        rig.window->scannerSession()->zoneRead()->setTimeout(100);
        QVERIFY(rig.connectAndRead());
        QVERIFY(rig.window->zoneEditor()->editedChannel() != 63);
        const ZoneChannelRecord edited = editChannel63(rig);
        // The comparison's first answer for channel 63 comes after it was asked again; the
        // second comes once the comparison has ended.
        rig.sim.updateOptions([](SimOptions &o) {
            o.answerDelays = {{REQUEST_READ_AREA, kZoneChannelCount, 150}};
        });
        QVERIFY(rig.window->zoneComparison()->compareWithScanner());
        QTRY_VERIFY_WITH_TIMEOUT(!rig.window->scannerSession()->zoneRead()->isRunning() &&
                                     rig.window->isEnabled(),
                                 10000);
        QTRY_COMPARE(rig.countOf(REQUEST_READ_AREA), 2 * kZoneChannelCount + 2);
        QTest::qWait(400);
        QCOMPARE(rig.window->zoneStoreFile()->zones().channel(63), edited);
        QVERIFY(rig.window->zoneStoreFile()->hasUnsentChanges());
        QCOMPARE(rig.boxes.count(), 0);
    }

    void lateChunkAcknowledgementEndsTheUpdate()
    {
        StudioRig rig;
        rig.sim.updateState([](DeviceState &s) { s.deviceMode = 1; });
        QVERIFY(rig.start(StudioRig::withoutZoneReads()));
        rig.window->scannerSession()->firmware()->setStepTimeout(150);
        QVERIFY(rig.connectAndSettle());
        QByteArray image(3000, '\0');
        for (int i = 0; i < image.size(); ++i)
            image[i] = char(i * 7 + i / 512);
        const QString file = rig.dir.filePath("new.bin");
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(image) == image.size());
        out.close();
        rig.sim.updateOptions([](SimOptions &o) {
            o.answerDelays = {{REQUEST_FIRMWARE_DATA, 3, 250}};
        });

        rig.boxes.setHold([](QMessageBox *box) {
            if (box->text() != "Are you sure you want to update the firmware")
                return false;
            box->button(QMessageBox::Yes)->click();
            return true;
        });
        rig.firmwareFile = file;
        rig.ui()->selectFirmwareBtn->click();
        rig.ui()->updateFirmwareBtn->click();
        const QString reason =
            "Firmware update failed: the acknowledgement of data chunk 3 of 6 came late, damaged "
            "or not at all, and a chunk carries no index: the bootloader may hold it twice, so the "
            "update was stopped before the image check and nothing was committed";
        QTRY_VERIFY_WITH_TIMEOUT(
            rig.ui()->firmwarePlainTextEdit->toPlainText().split('\n').contains(reason), 10000);
        QVERIFY(!rig.window->scannerSession()->firmware()->isRunning());
        QTest::qWait(300);
        QCOMPARE(rig.countOf(REQUEST_FIRMWARE_VERIFY), 0);
        QCOMPARE(rig.countOf(REQUEST_FIRMWARE_COMMIT), 0);
        QCOMPARE(rig.sim.state().firmwareCommits, 0);
    }
};

QTEST_MAIN(TestLateReplies)
#include "tst_latereplies.moc"
