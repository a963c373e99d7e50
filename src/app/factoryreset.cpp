#include "mainwindow.h"

// Restoring factory values comes with the factory reset.
void MainWindow::onFactorySettingsBtn() {}
