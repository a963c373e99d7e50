#include "zonestorefile.h"

#include "unsentmarker.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QTimer>

#include <sys/stat.h>

namespace {

int areaIndex(int channel, int area)
{
    return channel * kAreasPerChannel + area;
}

// What the set cannot send, in the words of the strict reading of a file.
ZoneFileProblem problemOf(const ZoneSet &zones, const UnsendableArea &found)
{
    ZoneFileProblem p;
    p.channel = found.channel;
    p.area = found.area;
    p.key = QStringLiteral("Points");
    if (found.reason == UnsendableArea::TooManyPoints) {
        p.kind = ZoneFileProblem::TooManyPoints;
        p.number = found.pointCount;
        return p;
    }
    p.kind = ZoneFileProblem::OutOfRange;
    p.minimum = -32768;
    p.maximum = 32767;
    for (const QPoint &point : zones.area(found.channel, found.area).points) {
        for (int value : {point.x(), point.y()}) {
            if (value < p.minimum || value > p.maximum) {
                p.detail = QString::number(value);
                return p;
            }
        }
    }
    return p;
}

} // namespace

ZoneStoreFile::ZoneStoreFile(const QString &fileName, QObject *parent)
    : QObject(parent), m_fileName(fileName), m_writeTimer(new QTimer(this))
{
    // A moment after the channel came in, the request for the next one has gone out: the
    // port writes it when the event loop is back, and a zero timer may run before that.
    // The next block takes about 70 ms on the wire, so the writes never pile up.
    m_writeTimer->setSingleShot(true);
    m_writeTimer->setInterval(kScannerWriteDelayMs);
    connect(m_writeTimer, &QTimer::timeout, this, &ZoneStoreFile::flush);
}

ZoneStoreFile::~ZoneStoreFile()
{
    flush();
    // A run that ends here ends on purpose; only one cut short leaves the mark.
    if (!m_markKnown || m_marked)
        setUnsentMarker(m_fileName, false);
}

bool ZoneStoreFile::reset()
{
    dropWaitingWrites();
    bool written = false;
    {
        QSettings store(m_fileName, QSettings::IniFormat);
        resetZoneStore(store);
        store.sync();
        // A file with lines the library cannot parse is still written over.
        written = store.status() != QSettings::AccessError;
        m_zones.load(store);
        checkAreas(store);
    }
    m_onScanner = m_zones;
    tookWholeSet(written);
    syncUnsentMarker();
    emit zonesReplaced();
    return written;
}

ZoneStoreFile::Copy ZoneStoreFile::replace(const ZoneFile &file)
{
    Copy copy;
    // The mark first: the file holds zones the scanner has not seen once it is replaced.
    const bool wasMarked = m_marked;
    if (!m_markKnown || !m_marked)
        m_markKnown = m_marked = setUnsentMarker(m_fileName, true);
    QSaveFile out(m_fileName);
    copy.opened = out.open(QIODevice::WriteOnly);
    copy.written = copy.opened ? out.write(file.bytes) : 0;
    copy.stored = copy.opened && copy.written == file.bytes.size() && out.commit();
    if (!copy.stored) {
        copy.error = out.errorString();
        if (!wasMarked)
            syncUnsentMarker();
        return copy;
    }
    dropWaitingWrites();
    for (int c = 0; c < kZoneChannelCount; ++c)
        m_zones.setChannel(c, file.channels.at(c));
    m_problems.clear();
    m_fileBytes = file.bytes;
    m_fileBytesKnown = true;
    // The settings library rewrites the file in its own layout with the first change; the
    // text it will then write is known only when the file keeps to plain forms.
    m_text.take(file.bytes, ZoneStoreText::FromOutside);
    rememberDisk(file.bytes);
    syncUnsentMarker();
    emit zonesReplaced();
    return copy;
}

bool ZoneStoreFile::takeFactoryZones(QSettings &factory)
{
    static const char *const keys[] = {"Points",         "regionType", "dependScale",
                                       "detectableSize", "onDelay",    "offDelay"};
    dropWaitingWrites();
    bool written = false;
    {
        QSettings store(m_fileName, QSettings::IniFormat);
        store.clear();
        for (int channel = 0; channel < kZoneChannelCount; ++channel)
            for (int area = 0; area < kAreasPerChannel; ++area)
                for (const char *key : keys) {
                    const QString name = zoneKey(channel, area, QLatin1String(key));
                    store.setValue(name, factory.value(name));
                }
        store.sync();
        // A file with lines the library cannot parse is still written over.
        written = store.status() != QSettings::AccessError;
        m_zones.load(store);
        checkAreas(store);
    }
    tookWholeSet(written);
    syncUnsentMarker();
    emit zonesReplaced();
    return written;
}

bool ZoneStoreFile::setChannel(int channel, const ZoneChannelRecord &areas, const ChannelKeys &keys)
{
    if (channel < 0 || channel >= kZoneChannelCount)
        return false;
    ZoneChannelRecord next = m_zones.channel(channel);
    QVector<AreaWrite> writes;
    for (int k = 0; k < kAreasPerChannel; ++k) {
        const AreaKeys which = keys[size_t(k)];
        if (which == NoKeys)
            continue;
        ZoneAreaRecord &record = next[size_t(k)];
        const QVector<QPoint> points = record.points;
        record = areas[size_t(k)];
        const auto problem = m_problems.find(areaIndex(channel, k));
        if (which == NumberKeys) {
            record.points = points;
            if (problem != m_problems.end() && problem->key != QLatin1String("Points"))
                m_problems.erase(problem);
        } else if (problem != m_problems.end()) {
            m_problems.erase(problem);
        }
        writes.append({channel, k, which});
    }
    if (writes.isEmpty())
        return true;
    m_zones.setChannel(channel, next);
    syncUnsentMarker();
    const bool written = write(writes);
    emit channelChanged(channel);
    return written;
}

bool ZoneStoreFile::setChannels(const QVector<int> &channels, const ZoneChannelRecord &areas)
{
    QVector<AreaWrite> writes;
    for (int channel : channels) {
        if (channel < 0 || channel >= kZoneChannelCount)
            continue;
        m_zones.setChannel(channel, areas);
        for (int k = 0; k < kAreasPerChannel; ++k) {
            m_problems.remove(areaIndex(channel, k));
            writes.append({channel, k, AllKeys});
        }
    }
    if (writes.isEmpty())
        return true;
    syncUnsentMarker();
    const bool written = write(writes);
    for (int channel : channels)
        if (channel >= 0 && channel < kZoneChannelCount)
            emit channelChanged(channel);
    return written;
}

void ZoneStoreFile::setScannerChannel(int channel, const ZoneChannelRecord &areas)
{
    // A block can name any channel up to 255; the store has none beyond 63.
    if (channel < 0 || channel >= kZoneChannelCount)
        return;
    m_onScanner.setChannel(channel, areas);
    m_zones.setChannel(channel, areas);
    for (int k = 0; k < kAreasPerChannel; ++k) {
        m_problems.remove(areaIndex(channel, k));
        m_waiting.append({channel, k, AllKeys});
    }
    m_writeTimer->start();
    syncUnsentMarker();
    emit channelChanged(channel);
}

bool ZoneStoreFile::flush()
{
    if (m_waiting.isEmpty())
        return true;
    return write({});
}

void ZoneStoreFile::dropWaitingWrites()
{
    m_waiting.clear();
    m_unwritten.clear();
    m_writeTimer->stop();
}

bool ZoneStoreFile::setZones(const ZoneSet &zones)
{
    m_zones = zones;
    m_problems.clear();
    QVector<AreaWrite> writes;
    for (int c = 0; c < kZoneChannelCount; ++c)
        for (int k = 0; k < kAreasPerChannel; ++k)
            writes.append({c, k, AllKeys});
    syncUnsentMarker();
    const bool written = write(writes);
    emit zonesReplaced();
    return written;
}

QByteArray ZoneStoreFile::bytes(QString *error) const
{
    if (m_text.isKnown())
        return m_text.text();
    if (m_fileBytesKnown)
        return m_fileBytes;
    QFile file(m_fileName);
    QByteArray read;
    if (file.open(QIODevice::ReadOnly))
        read = file.readAll();
    if (file.error() != QFileDevice::NoError && error)
        *error = file.errorString();
    return read;
}

ZoneStoreFile::Snapshot ZoneStoreFile::snapshot()
{
    flush();
    Snapshot s;
    s.zones = m_zones;
    s.problems = m_problems;
    QString error;
    s.bytes = bytes(&error);
    s.bytesKnown = error.isEmpty();
    return s;
}

bool ZoneStoreFile::restore(const Snapshot &s)
{
    dropWaitingWrites();
    m_zones = s.zones;
    m_problems = s.problems;
    syncUnsentMarker();
    bool written = false;
    if (s.bytesKnown) {
        QSaveFile out(m_fileName);
        written =
            out.open(QIODevice::WriteOnly) && out.write(s.bytes) == s.bytes.size() && out.commit();
    }
    if (written) {
        m_unwritten.clear();
        m_fileBytes = s.bytes;
        m_fileBytesKnown = true;
        m_text.take(s.bytes, ZoneStoreText::FromOutside);
        rememberDisk(s.bytes);
    } else {
        // The settings library writes every area of the set, now or with the next write.
        tookWholeSet(false);
        written = write({});
    }
    emit zonesReplaced();
    return written;
}

ZoneFileProblem ZoneStoreFile::findProblem() const
{
    const UnsendableArea unsendable = m_zones.findUnsendable();
    if (!m_problems.isEmpty() &&
        (!unsendable || m_problems.firstKey() <= areaIndex(unsendable.channel, unsendable.area)))
        return m_problems.first();
    if (unsendable)
        return problemOf(m_zones, unsendable);
    return {};
}

bool ZoneStoreFile::write(QVector<AreaWrite> writes)
{
    if (!m_waiting.isEmpty()) {
        writes = m_waiting + writes;
        m_waiting.clear();
        m_writeTimer->stop();
    }
    takeOutsideChange(writes);
    if (m_text.isKnown()) {
        // What an earlier write could not bring to disk goes with this one.
        m_unwritten += writes;
        for (const AreaWrite &w : qAsConst(m_unwritten)) {
            const ZoneAreaRecord &record = m_zones.area(w.channel, w.area);
            if (w.keys == AllKeys)
                m_text.setArea(w.channel, w.area, record);
            else
                m_text.setParameters(w.channel, w.area, record);
        }
        const QByteArray text = m_text.text();
        if (!writeText(text))
            return false;
        m_unwritten.clear();
        rememberDisk(text);
        return true;
    }
    // The file holds what this class does not write itself: the settings library writes
    // it, together with what an earlier write could not bring to disk.
    m_unwritten += writes;
    bool written = false;
    {
        QSettings store(m_fileName, QSettings::IniFormat);
        for (const AreaWrite &w : qAsConst(m_unwritten)) {
            const ZoneAreaRecord &record = m_zones.area(w.channel, w.area);
            if (w.keys == AllKeys)
                writeStoredArea(store, w.channel, w.area, record);
            else
                writeStoredParameters(store, w.channel, w.area, record);
        }
        store.sync();
        written = store.status() == QSettings::NoError;
    }
    if (written) {
        m_unwritten.clear();
        takeWrittenFile();
    }
    return written;
}

// As the settings library writes: never over a file that cannot be opened for writing,
// and the new text complete beside the old one before it takes its place.
bool ZoneStoreFile::writeText(const QByteArray &text)
{
    if (QFileInfo::exists(m_fileName)) {
        QFile probe(m_fileName);
        if (!probe.open(QIODevice::ReadWrite))
            return false;
    }
    QSaveFile out(m_fileName);
    out.setDirectWriteFallback(false);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    if (out.write(text) != text.size()) {
        out.cancelWriting();
        return false;
    }
    return out.commit();
}

// After the whole set was written through the settings library: the file's text, or, when
// the file could not be written, every area for the next write to bring it up to date.
void ZoneStoreFile::tookWholeSet(bool written)
{
    if (written) {
        takeWrittenFile();
        return;
    }
    m_text.forget();
    m_fileBytesKnown = false;
    m_unwritten.clear();
    for (int c = 0; c < kZoneChannelCount; ++c)
        for (int k = 0; k < kAreasPerChannel; ++k)
            m_unwritten.append({c, k, AllKeys});
}

// After the settings library wrote the file: its bytes, and the text it will write next.
void ZoneStoreFile::takeWrittenFile()
{
    QFile file(m_fileName);
    m_fileBytesKnown = file.open(QIODevice::ReadOnly);
    m_fileBytes = m_fileBytesKnown ? file.readAll() : QByteArray();
    m_fileBytesKnown = m_fileBytesKnown && file.error() == QFileDevice::NoError;
    if (!m_fileBytesKnown || !m_text.take(m_fileBytes, ZoneStoreText::WrittenByLibrary))
        m_text.forget();
    if (m_fileBytesKnown)
        rememberDisk(m_fileBytes);
    else
        m_stampKnown = false;
}

void ZoneStoreFile::checkAreas(QSettings &store)
{
    m_problems.clear();
    for (int c = 0; c < kZoneChannelCount; ++c) {
        for (int k = 0; k < kAreasPerChannel; ++k) {
            ZoneAreaRecord strict;
            const ZoneFileProblem problem = checkStoredArea(store, c, k, &strict);
            if (problem)
                m_problems.insert(areaIndex(c, k), problem);
        }
    }
}

void ZoneStoreFile::markOnScanner()
{
    m_onScanner = m_zones;
    syncUnsentMarker();
}

// Another window in the same folder may have taken the mark away: while this store holds
// unsent zones the mark is looked for, not taken as known.
void ZoneStoreFile::syncUnsentMarker()
{
    const bool unsent = hasUnsentChanges();
    if (unsent ? hasUnsentMarker(m_fileName) : (m_markKnown && !m_marked)) {
        m_marked = unsent;
        m_markKnown = true;
        return;
    }
    if (setUnsentMarker(m_fileName, unsent)) {
        m_marked = unsent;
        m_markKnown = true;
    }
}

bool ZoneStoreFile::DiskStamp::operator==(const DiskStamp &o) const
{
    return exists == o.exists && size == o.size && modified == o.modified && changed == o.changed &&
           inode == o.inode && device == o.device;
}

ZoneStoreFile::DiskStamp ZoneStoreFile::stampOf(const QString &fileName)
{
    DiskStamp stamp;
    struct stat st;
    if (::stat(QFile::encodeName(fileName).constData(), &st) != 0)
        return stamp;
    stamp.exists = true;
    stamp.size = st.st_size;
    stamp.modified = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    stamp.changed = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    stamp.inode = st.st_ino;
    stamp.device = st.st_dev;
    return stamp;
}

void ZoneStoreFile::rememberDisk(const QByteArray &bytes)
{
    m_stamp = stampOf(m_fileName);
    m_stampKnown = true;
    m_diskBytes = bytes;
}

// Another writer's change is taken as the settings library took it when every write
// re-read the file: the file's areas, with this write's own areas over them. A change
// that leaves the file's size, times and identity as they were (a rewrite in place within
// the same clock tick) goes unseen.
bool ZoneStoreFile::takeOutsideChange(const QVector<AreaWrite> &writes)
{
    if (!m_stampKnown)
        return false;
    const DiskStamp now = stampOf(m_fileName);
    if (now == m_stamp)
        return false;
    QByteArray onDisk;
    bool readable = !now.exists;
    if (now.exists) {
        QFile file(m_fileName);
        readable = file.open(QIODevice::ReadOnly);
        onDisk = file.readAll();
        readable = readable && file.error() == QFileDevice::NoError;
    }
    if (!readable || (now.exists && onDisk == m_diskBytes)) {
        // Touched but not changed (its permissions, say), or not readable: the write goes
        // on as before.
        m_stamp = now;
        return false;
    }

    const ZoneSet before = m_zones;
    ZoneSet outside;
    {
        QSettings store(m_fileName, QSettings::IniFormat);
        outside.load(store);
        checkAreas(store);
    }
    // This write's areas, and those an earlier write left waiting, over the file's.
    for (const QVector<AreaWrite> *list : {&qAsConst(m_unwritten), &writes}) {
        for (const AreaWrite &w : *list) {
            const ZoneAreaRecord &mine = before.area(w.channel, w.area);
            ZoneAreaRecord merged = mine;
            if (w.keys == NumberKeys)
                merged.points = outside.area(w.channel, w.area).points;
            outside.setArea(w.channel, w.area, merged);
            const auto problem = m_problems.find(areaIndex(w.channel, w.area));
            if (problem != m_problems.end() &&
                (w.keys == AllKeys || problem->key != QLatin1String("Points")))
                m_problems.erase(problem);
        }
    }
    int changed = 0;
    bool unsentLost = false;
    for (int c = 0; c < kZoneChannelCount; ++c) {
        for (int k = 0; k < kAreasPerChannel; ++k) {
            if (outside.area(c, k) == before.area(c, k))
                continue;
            ++changed;
            unsentLost = unsentLost || before.area(c, k) != m_onScanner.area(c, k);
        }
    }
    // Zones only this run held, and which the outside change replaced, are kept in a
    // zone file of their own before they go.
    QString copy;
    QString copyError;
    if (unsentLost)
        copy = writeUnsentZonesCopy(zoneFileText(before), QFileInfo(m_fileName).absolutePath(),
                                    QDateTime::currentDateTime(), &copyError);
    m_zones = outside;
    m_fileBytes = onDisk;
    m_fileBytesKnown = now.exists;
    if (!now.exists || !m_text.take(onDisk, ZoneStoreText::FromOutside))
        m_text.forget();
    m_stamp = now;
    m_diskBytes = onDisk;
    syncUnsentMarker();
    // Told once the write is done, so that a receiver finds the file as it now is.
    QTimer::singleShot(0, this, [this, changed, copy, copyError]() {
        emit changedOnDisk(changed, copy, copyError);
        emit zonesReplaced();
    });
    return true;
}
