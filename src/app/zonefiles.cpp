#include "mainwindow.h"

// User zone files come with the zone configuration files.
void MainWindow::onSaveSettingsBtn() {}

void MainWindow::onLoadSettingsBtn() {}
