#pragma once

#include <QString>

class QWidget;

// The window's side of the rule for the files it writes (outputtarget.h): the same targets
// are refused as by areascan-cli, and the question whether to replace a file is asked
// only for a file that may be replaced, after the refusals, not by the file dialog.

// A save dialog whose own "replace?" question is turned off (see chosenOutputFile).
QString askSaveFileName(QWidget *parent, const QString &caption, const QString &proposed,
                        const QString &filter);

// The file to write for a name the user chose, or an empty text when nothing is to be
// written: a refused target gets a critical box, cannotWrite (the caller's "cannot write
// %1: %2") with the reason, or ownFileRefusal (with %1) when the name is one of the tool's
// own files; an existing file is replaced only when the user says so, when askReplace
// (the name came from askSaveFileName).
QString chosenOutputFile(QWidget *parent, const QString &chosen, bool askReplace,
                         const QString &cannotWrite, const QString &ownFileRefusal);
