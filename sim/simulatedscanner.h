#pragma once

#include <QObject>

class SimulatedScanner : public QObject
{
    Q_OBJECT
public:
    explicit SimulatedScanner(QObject *parent = nullptr) : QObject(parent) {}
};
