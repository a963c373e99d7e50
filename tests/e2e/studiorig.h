#pragma once

#include "mainwindow.h"
#include "modalcatcher.h"
#include "simulatorhost.h"
#include "testsupport.h"
#include "ui_mainwindow.h"

#include <QtTest>
#include <memory>

// One simulated scanner, one window and one working directory. The scanner never
// answers zone reads, so the full zone read after connecting ends by its time-out at
// once and leaves the window usable without the zone transfer.
struct StudioRig
{
    TempWorkingDir dir;
    ModalCatcher boxes;
    SimulatorHost sim;
    std::unique_ptr<MainWindow> window;

    static SimOptions quickOptions()
    {
        SimOptions o;
        o.paced = false;
        o.seed = 11;
        o.restartMs = 150;
        o.dropTypes = {REQUEST_READ_AREA};
        return o;
    }

    bool start(const SimOptions &options = quickOptions(), const QString &portPath = QString())
    {
        QString error;
        if (!sim.start(options, &error)) {
            qWarning() << "simulator:" << error;
            return false;
        }
        window = std::make_unique<MainWindow>();
        window->setZoneReadTimeout(100);
        const QString path = portPath.isEmpty() ? sim.devicePath() : portPath;
        window->addExtraPort(path);
        return window->ui()->portName->currentText() == path;
    }
    Ui::MainWindow *ui() const { return window->ui(); }

    // Connects and waits until the read-out after connecting is over and the window is
    // usable again.
    bool connectAndSettle()
    {
        window->openSelectedPort();
        if (!window->worker())
            return false;
        return QTest::qWaitFor(
            [this]() { return countOf(REQUEST_READ_AREA) > 0 && window->isEnabled(); }, 5000);
    }

    QVector<ReceivedFrame> framesOf(quint16 type) const
    {
        QVector<ReceivedFrame> out;
        for (const ReceivedFrame &frame : sim.receivedFrames())
            if (frame.type == type)
                out.append(frame);
        return out;
    }
    int countOf(quint16 type) const { return framesOf(type).size(); }
};
