#include "firmwaretransfer.h"

#include <QtTest>

class TestFirmwareTransfer : public QObject
{
    Q_OBJECT

private slots:
    void chunksCoverTheImage_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<QVector<int>>("chunks");
        QTest::newRow("empty") << 0 << QVector<int>{0};
        QTest::newRow("just below a chunk") << 511 << QVector<int>{511};
        QTest::newRow("one chunk") << 512 << QVector<int>{512, 0};
        QTest::newRow("1000") << 1000 << QVector<int>{512, 488};
    }

    void chunksCoverTheImage()
    {
        QFETCH(int, size);
        QFETCH(QVector<int>, chunks);
        QByteArray image(size, '\0');
        for (int i = 0; i < size; ++i)
            image[i] = char(i * 13 + i / 512);
        QCOMPARE(firmwareChunkCount(size), chunks.size());
        QCOMPARE(firmwareFullChunkCount(size), chunks.size() - 1);
        QCOMPARE(firmwareLastChunkSize(size), chunks.last());
        QByteArray joined;
        for (int i = 0; i < chunks.size(); ++i) {
            QCOMPARE(firmwareChunk(image, i).size(), chunks[i]);
            joined += firmwareChunk(image, i);
        }
        QCOMPARE(joined, image);
        QVERIFY(firmwareChunk(image, chunks.size()).isEmpty());
    }

    void progressTruncates()
    {
        QCOMPARE(firmwareProgressPercent(2, 3), 66);
        QCOMPARE(firmwareProgressPercent(511, 512), 99);
        QCOMPARE(firmwareProgressPercent(512, 512), 100);
        QCOMPARE(firmwareProgressPercent(0, 0), 100); // an image below one chunk
    }
};

QTEST_GUILESS_MAIN(TestFirmwareTransfer)
#include "tst_firmwaretransfer.moc"
