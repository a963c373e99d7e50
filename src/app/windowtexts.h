#pragma once

#include <QString>

struct ZoneFileProblem;

// The window's texts, shared by its panels: every one belongs to the window's catalogue
// (the context MainWindow), whichever panel shows it.
QString windowTr(const char *source);

// The name of area 0 attention, 1 warning or 2 alarm.
QString areaName(int area);
// Why a zone file or the store cannot be used, naming channel, area and key.
QString zoneFileProblemText(const ZoneFileProblem &problem);
