#pragma once

#include <QString>
#include <QStringList>

struct StudioOptions
{
    QStringList ports; // device paths the system's port list does not show
    bool connect = false;
    bool demo = false;
    bool help = false;
    bool version = false;
    // Work in the tool's own folder under the user's data directory instead of the current
    // one: a start from the desktop menu has no meaningful current directory.
    bool ownFolder = false;
    int tab = -1; // page shown at start: 0 device, 1 zones, 2 status; -1 the usual
    // With demo: the simulated scanner streams the scans of this recording, and with
    // replayLoop starts it over after the last.
    QString replayFile;
    bool replayLoop = false;
    // Start without a scanner on the zone page, the store taken from offlineFile if named.
    bool offline = false;
    QString offlineFile;
    // A recording played in the window instead of a scanner.
    QString playFile;
    QString error; // set when the arguments cannot be used
};

StudioOptions parseStudioOptions(const QStringList &arguments);
QString studioHelpText();

// Whether a GUI platform can start: Qt aborts without a display, so the tool checks
// first and tells the user how to run it anyway.
bool displayAvailable(const QStringList &arguments, const QStringList &environment);
