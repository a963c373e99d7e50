#pragma once

class QCoreApplication;

// The English catalogue of the window's texts, compiled into the library for programs
// that print reports without the window (the command-line tool). Installs it on app;
// false when it cannot be loaded.
bool installReportCatalogue(QCoreApplication *app);
