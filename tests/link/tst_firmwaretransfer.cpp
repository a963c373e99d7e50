#include "firmwaretransfer.h"

#include <QCryptographicHash>
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
        QTest::newRow("one byte") << 1 << QVector<int>{1};
        QTest::newRow("just below a chunk") << 511 << QVector<int>{511};
        QTest::newRow("one chunk") << 512 << QVector<int>{512, 0};
        QTest::newRow("one over") << 513 << QVector<int>{512, 1};
        QTest::newRow("1000") << 1000 << QVector<int>{512, 488};
        QTest::newRow("1024") << 1024 << QVector<int>{512, 512, 0};
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
        QVector<int> sizes;
        for (int i = 0; i < firmwareChunkCount(size); ++i) {
            const QByteArray chunk = firmwareChunk(image, i);
            sizes << chunk.size();
            joined += chunk;
        }
        QCOMPARE(sizes, chunks);
        QCOMPARE(joined, image);
        QVERIFY(firmwareChunk(image, -1).isEmpty());
        QVERIFY(firmwareChunk(image, chunks.size()).isEmpty());
    }

    void digestIsRawMd5()
    {
        const QByteArray image("firmware image");
        QCOMPARE(firmwareDigest(image).size(), 16);
        QCOMPARE(firmwareDigest(image).toHex(),
                 QCryptographicHash::hash(image, QCryptographicHash::Md5).toHex());
    }

    void progressTruncates_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("total");
        QTest::addColumn<int>("percent");
        QTest::newRow("first of two") << 0 << 2 << 0;
        QTest::newRow("half") << 1 << 2 << 50;
        QTest::newRow("a third") << 1 << 3 << 33;
        QTest::newRow("two thirds") << 2 << 3 << 66;
        QTest::newRow("last of 512") << 511 << 512 << 99;
        QTest::newRow("done") << 512 << 512 << 100;
        QTest::newRow("below one chunk") << 0 << 0 << 100;
    }

    void progressTruncates()
    {
        QFETCH(int, index);
        QFETCH(int, total);
        QFETCH(int, percent);
        QCOMPARE(firmwareProgressPercent(index, total), percent);
    }
};

QTEST_GUILESS_MAIN(TestFirmwareTransfer)
#include "tst_firmwaretransfer.moc"
