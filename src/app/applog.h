#pragma once

#include <QLoggingCategory>

// The window's diagnostics (areascan.app), defined in mainwindow.cpp. Debug lines are off
// unless QT_LOGGING_RULES turns them on; warnings always show.
Q_DECLARE_LOGGING_CATEGORY(lcApp)
