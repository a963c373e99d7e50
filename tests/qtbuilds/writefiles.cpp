// Writes the files the window keeps (settings.ini, config.ini and a saved zone file) into
// an empty folder, driven the way a user would: start, connect to a scanner that holds
// the zones of a given zone file, load that file from outside, edit one area, save.
// Every build runs it on the same input; the folders it fills must then match byte for
// byte (compare-builds.sh), whichever Qt the build was made with.
//
//   writefiles ZONE_FILE FOLDER
#include "simzones.h"
#include "studiorig.h"
#include "zoneeditor.h"
#include "zonefilecheck.h"
#include "zonestorefile.h"

#include <QApplication>
#include <QDir>
#include <QFile>

#include <cstdio>

namespace {

int fail(const QString &what)
{
    std::fprintf(stderr, "writefiles: %s\n", qPrintable(what));
    return 1;
}

// Keeps what the window's store holds at this moment under a name of its own.
bool keepStore(const QString &name)
{
    return QFile::copy(zoneStoreFileName(), name);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3)
        return fail(QStringLiteral("usage: writefiles ZONE_FILE FOLDER"));
    const QString input = QFileInfo(args.at(1)).absoluteFilePath();
    const ZoneFile file = readZoneFile(input);
    if (!file.ok())
        return fail(describeZoneFileProblem(file.problem, input));
    if (!QDir().mkpath(args.at(2)) || !QDir(args.at(2)).isEmpty() || !QDir::setCurrent(args.at(2)))
        return fail(QStringLiteral("%1 is not an empty folder").arg(args.at(2)));

    StudioRig rig(StudioRig::CurrentFolder);
    SimOptions options = StudioRig::quick();
    options.seed = 19;
    if (!rig.startScanner(scannerHolding(file.channels), options))
        return fail(QStringLiteral("the simulated scanner did not start"));

    // A first start in an empty folder writes the product information and an empty store.
    if (!rig.openWindow() || !keepStore(QStringLiteral("config-start.ini")))
        return fail(QStringLiteral("no config.ini after the start"));

    // Connecting reads all 64 channels into the store.
    MainWindow *window = rig.window.get();
    auto holdsTheFile = [&]() {
        for (int c = 0; c < kZoneChannelCount; ++c)
            if (window->zoneStoreFile()->channel(c) != file.channels.at(c))
                return false;
        return true;
    };
    if (!rig.connectAndRead(60000) || !holdsTheFile() || !window->zoneStoreFile()->flush() ||
        !keepStore(QStringLiteral("config-read.ini")))
        return fail(QStringLiteral("the zone read after connecting did not finish"));

    // The same file loaded from outside, then one area replaced and saved: the store is
    // rewritten by the settings library, since the file's own layout is not the library's.
    rig.zoneFile = input;
    rig.ui()->loadSettingsBtn->click();
    rig.ui()->channels->setCurrentIndex(5);
    AreaSettings arc;
    arc.regionType = ArcRegion;
    arc.onDelay = 3;
    arc.hysteresis = 12;
    arc.points = {QPointF(-150.5, 40), QPointF(150.5, 40)};
    window->zoneEditor()->replaceAreaRecord(1, arc);
    if (!window->zoneEditor()->saveChannel() || !keepStore(QStringLiteral("config-edited.ini")))
        return fail(QStringLiteral("the edited channel was not saved"));

    rig.zoneFile = QDir::current().absoluteFilePath(QStringLiteral("zones-saved.ini"));
    rig.ui()->saveSettingsBtn->click();
    rig.window.reset();
    if (!rig.boxes.boxes().isEmpty())
        return fail(QStringLiteral("the window showed a message: %1")
                        .arg(rig.boxes.boxes().constFirst().text));
    if (!QFile::exists(QStringLiteral("zones-saved.ini")))
        return fail(QStringLiteral("no zone file was saved"));
    return 0;
}
