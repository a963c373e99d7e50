#include "zonestorefile.h"

#include <QSettings>

ZoneStoreFile::ZoneStoreFile(const QString &fileName, QObject *parent)
    : QObject(parent), m_fileName(fileName)
{
}

bool ZoneStoreFile::reset()
{
    QSettings store(m_fileName, QSettings::IniFormat);
    resetZoneStore(store);
    store.sync();
    m_zones.load(store);
    m_onScanner = m_zones;
    emit zonesReplaced();
    return store.status() == QSettings::NoError;
}

bool ZoneStoreFile::reload()
{
    QSettings store(m_fileName, QSettings::IniFormat);
    m_zones.load(store);
    emit zonesReplaced();
    return store.status() == QSettings::NoError;
}

bool ZoneStoreFile::setChannel(int channel, const ZoneChannelRecord &areas)
{
    m_zones.setChannel(channel, areas);
    QSettings store(m_fileName, QSettings::IniFormat);
    m_zones.saveChannel(store, channel);
    store.sync();
    emit channelChanged(channel);
    return store.status() == QSettings::NoError;
}

bool ZoneStoreFile::setZones(const ZoneSet &zones)
{
    m_zones = zones;
    QSettings store(m_fileName, QSettings::IniFormat);
    m_zones.save(store);
    store.sync();
    emit zonesReplaced();
    return store.status() == QSettings::NoError;
}
