// The filter settings table the window's filter page and the command-line tool share.

#include "filtersettings.h"
#include "testsupport.h"

#include <QSettings>
#include <QtTest>

namespace {
const FilterSetting &setting(const char *name)
{
    const FilterSetting *s = findFilterSetting(QLatin1String(name));
    if (!s)
        qFatal("no setting %s", name);
    return *s;
}
} // namespace

class TestFilterSettings : public QObject
{
    Q_OBJECT

private slots:
    void everyRequestFindsItsOwnSetting()
    {
        QSet<int> requests;
        for (const FilterSetting &s : filterSettings()) {
            QCOMPARE(filterSettingOf(s.set), &s);
            QCOMPARE(filterSettingOf(s.get), &s);
            requests << s.set << s.get;
        }
        QCOMPARE(requests.size(), 20);
        QCOMPARE(filterSettingOf(REQUEST_SAVE_PARAMETERS), nullptr);
        QCOMPARE(filterSettingOf(REQUEST_GET_NPN_PNP), nullptr);
    }

    // A misspelt key would read as 0 or false and send that to the scanner on a reset.
    void theShippedFactoryFileHoldsEveryKey()
    {
        QSettings factory(QStringLiteral(FACTORY_FILE), QSettings::IniFormat);
        QStringList committed;
        for (const FilterSetting &s : filterSettings()) {
            QVERIFY2(factory.contains(QLatin1String(s.factoryKey)), s.factoryKey);
            committed << committedFromFactory(s, factory.value(QLatin1String(s.factoryKey)));
        }
        // The table's order: enable, strength, min, max, average, input, output, mask.
        QCOMPARE(committed,
                 (QStringList{"1", "35", "100", "20000", "0", "0", "0", "0", "0", "539"}));
    }

    void factoryValuesAreKeptAsTheWindowRestoresThem_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("ini"); // the value as written in the file, or null: missing
        QTest::addColumn<QString>("committed");
        QTest::addColumn<int>("restores");
        QTest::newRow("flag true") << "filter-enable"
                                   << "true"
                                   << "1" << 1;
        QTest::newRow("flag 1") << "input-nc"
                                << "1"
                                << "1" << 1;
        QTest::newRow("flag false") << "output-nc"
                                    << "false"
                                    << "0" << 0;
        QTest::newRow("flag missing") << "average-filter" << QString() << "0" << 0;
        // The shadow filter's numbers stay the text they were: an unreadable one restores
        // as 0.
        QTest::newRow("strength text") << "filter-strength"
                                       << "35"
                                       << "35" << 35;
        QTest::newRow("strength missing") << "filter-strength" << QString() << "" << 0;
        QTest::newRow("range not a number") << "filter-max-range"
                                            << "far"
                                            << "far" << 0;
        // The mask values keep their low 16 bits.
        QTest::newRow("mask wraps") << "mask-intensity"
                                    << "70000"
                                    << "4464" << 4464;
        QTest::newRow("mask negative") << "mask-min-angle"
                                       << "-1"
                                       << "65535" << 65535;
        QTest::newRow("mask missing") << "mask-max-angle" << QString() << "0" << 0;
    }
    void factoryValuesAreKeptAsTheWindowRestoresThem()
    {
        QFETCH(QString, name);
        QFETCH(QString, ini);
        QFETCH(QString, committed);
        TempWorkingDir dir;
        const FilterSetting &s = setting(name.toLatin1().constData());
        {
            QFile file(QStringLiteral("factory.ini"));
            QVERIFY(file.open(QIODevice::WriteOnly));
            const QString key = QLatin1String(s.factoryKey);
            if (!ini.isNull())
                file.write(QStringLiteral("[%1]\n%2=%3\n")
                               .arg(key.section('/', 0, 0), key.section('/', 1), ini)
                               .toUtf8());
        }
        const QSettings factory(QStringLiteral("factory.ini"), QSettings::IniFormat);
        const QString kept = committedFromFactory(s, factory.value(QLatin1String(s.factoryKey)));
        QCOMPARE(kept, committed);
        QTEST(committedWire(s, kept), "restores");
    }

    void repliesAndControlsAreKeptAndSentAlike()
    {
        // A scanner's flag is any number, a check box state 0 or 2: both are kept and sent
        // as 0 or 1.
        QCOMPARE(committedFromReply(setting("filter-enable"), "7"), QStringLiteral("1"));
        QCOMPARE(committedFromWire(setting("average-filter"), Qt::Checked), QStringLiteral("1"));
        QCOMPARE(settingRequestText(setting("input-nc"), Qt::Checked), QStringLiteral("1"));
        QCOMPARE(settingRequestText(setting("output-nc"), 0), QStringLiteral("0"));
        QCOMPARE(committedFromReply(setting("filter-min-range"), "100"), QStringLiteral("100"));
        QCOMPARE(committedFromReply(setting("mask-intensity"), "65537"), QStringLiteral("1"));
        // Angles travel in half degrees and are shown in degrees.
        QCOMPARE(settingRequestText(setting("mask-min-angle"), 539), QStringLiteral("539"));
        QCOMPARE(settingText(setting("mask-min-angle"), 539), QStringLiteral("269.5"));
        QCOMPARE(settingText(setting("mask-max-angle"), 0), QStringLiteral("0.0"));
    }
};

QTEST_GUILESS_MAIN(TestFilterSettings)
#include "tst_filtersettings.moc"
