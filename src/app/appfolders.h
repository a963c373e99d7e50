#pragma once

#include <QString>

// Where the tool finds its files besides the working directory.

// The factory settings file the reset reads: the working directory's own when it has one
// (even an unreadable one: the user meant that file), else the one an installation ships as
// areascan-studio/factorySettings.ini in the data directories ($XDG_DATA_HOME, then
// $XDG_DATA_DIRS: /usr/local/share, /usr/share). Empty when there is none.
QString factorySettingsPath();

// Makes the tool's own folder under the user's data directory (the application's data
// location, ~/.local/share/areascan-studio) the working directory, creating it when
// missing. On failure the working directory stays as it was and error says why.
bool enterOwnFolder(QString *error);
