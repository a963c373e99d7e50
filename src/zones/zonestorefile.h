#pragma once

#include "zonefilecheck.h"
#include "zoneset.h"
#include "zonestoretext.h"

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QString>
#include <QVector>
class QTimer;

#include <array>

class QSettings;

// The zone set of this run and its copy on disk (config.ini in the working directory).
// Every change is made here first and written through at once, in the store's own format,
// so the file holds what a crash would otherwise lose. The file is read only when the set
// is taken from it: at start-up, and from a zone file or the factory file copied over it.
// Nothing else opens the store by its name.
class ZoneStoreFile : public QObject
{
    Q_OBJECT

public:
    // Which keys of an area a change writes: none, its six numbers (the Points text stays
    // as it is), or all seven.
    enum AreaKeys
    {
        NoKeys,
        NumberKeys,
        AllKeys,
    };
    using ChannelKeys = std::array<AreaKeys, kAreasPerChannel>;
    static constexpr ChannelKeys kWholeChannel = {AllKeys, AllKeys, AllKeys};

    // How a zone file's bytes went over the store, for the caller's report.
    struct Copy
    {
        bool opened = false; // the store was opened for writing
        qint64 written = 0;  // bytes written
        bool stored = false; // the store holds the file now
        QString error;       // why not
    };

    explicit ZoneStoreFile(const QString &fileName = zoneStoreFileName(),
                           QObject *parent = nullptr);
    ~ZoneStoreFile() override;

    QString fileName() const { return m_fileName; }
    const ZoneSet &zones() const { return m_zones; }
    const ZoneChannelRecord &channel(int channel) const { return m_zones.channel(channel); }

    // Writes the start-up values into the file (every area a polygon without vertices;
    // hysteresis keys are left as they are) and takes what the file then holds.
    bool reset();
    // A zone file that passed the strict reading: its bytes replace the file as they are,
    // its channels the set. Nothing changes when the file cannot be written.
    Copy replace(const ZoneFile &file);
    // The six zone keys of every area of the factory file, copied over the whole store as
    // they are written there (a store without hysteresis keys); the set takes them.
    bool takeFactoryZones(QSettings &factory);

    // The keys of a channel's areas the caller names, in memory and on disk. False when the
    // file could not be written: memory holds the change then, and the next write that
    // succeeds brings the file up to date. Channels outside 0..63 change nothing.
    bool setChannel(int channel, const ZoneChannelRecord &areas,
                    const ChannelKeys &keys = kWholeChannel);
    // One channel's three areas copied over each of the channels named, with one write.
    bool setChannels(const QVector<int> &channels, const ZoneChannelRecord &areas);
    // A channel as the scanner sent it: the scanner is known to hold it now. Memory takes
    // it at once, the file kScannerWriteDelayMs later, so that the write (up to a megabyte,
    // synced to disk) does not stand between the scanner's reply and the next request; any
    // other write, or the end of this object, writes it first.
    static constexpr int kScannerWriteDelayMs = 5;
    void setScannerChannel(int channel, const ZoneChannelRecord &areas);
    // Writes what is waiting to be written; false when the file could not be written.
    bool flush();
    bool setZones(const ZoneSet &zones);

    // The bytes the store holds, for copies of it (a user's zone file). Empty with the
    // reason in *error when they cannot be had.
    QByteArray bytes(QString *error = nullptr) const;

    // The whole store as it stands, so that a step that replaced it (a zone file load) can
    // be taken back: the set, the file's bytes and what the strict reading found in them.
    struct Snapshot
    {
        ZoneSet zones;
        QByteArray bytes;
        bool bytesKnown = false;
        QMap<int, ZoneFileProblem> problems;
    };
    Snapshot snapshot();
    // Puts a snapshot back, the file byte for byte and the set. False when the file could
    // not be written: the set holds the snapshot then, and the next write that succeeds
    // brings the file up to date. What the scanner holds is not changed by this.
    bool restore(const Snapshot &snapshot);

    // The zones the scanner is known to hold: the set after a completed full read or
    // upload, and each channel it sent. Until a scanner has been read that is the start-up
    // set, so zones drawn or loaded before any connection count as not on the scanner, and
    // an untouched start-up store does not.
    //
    // While the store holds unsent zones a mark lies beside it (unsentmarker.h), so that
    // the next start keeps a copy of them should this run end without closing; the end of
    // this object (the window closed, the question answered) takes the mark away.
    void markOnScanner();
    bool hasUnsentChanges() const { return m_zones != m_onScanner; }

    // The first area, by channel and area, that cannot reach the scanner exactly as the
    // store holds it: a key read from a file that the block would wrap, cut or make up
    // (until the area is written again), or a set that holds more than the block carries.
    // Converts to false when every area of all 64 channels fits.
    ZoneFileProblem findProblem() const;

signals:
    void channelChanged(int channel);
    void zonesReplaced();
    // The file had been changed behind this object (another program, another window in
    // the same folder): a write took its areas first and wrote its own change over them.
    // changedAreas: how many areas the outside change brought; keptCopy: the zone file
    // that keeps the unsent zones the outside change replaced (empty when none were), or
    // copyError why it could not be written.
    void changedOnDisk(int changedAreas, const QString &keptCopy, const QString &copyError);

private:
    struct AreaWrite
    {
        int channel;
        int area;
        AreaKeys keys;
    };

    bool write(QVector<AreaWrite> writes);
    void dropWaitingWrites();
    bool writeText(const QByteArray &text);
    void tookWholeSet(bool written);
    void takeWrittenFile();
    void checkAreas(QSettings &store);
    void syncUnsentMarker();
    // What the file was when this object last wrote or read it; a write first takes what
    // another writer changed since (see changedOnDisk).
    struct DiskStamp
    {
        bool exists = false;
        qint64 size = 0;
        qint64 modified = 0; // ns
        qint64 changed = 0;  // ns, the inode's change
        quint64 inode = 0;
        quint64 device = 0;
        bool operator==(const DiskStamp &o) const;
    };
    static DiskStamp stampOf(const QString &fileName);
    void rememberDisk(const QByteArray &bytes);
    bool takeOutsideChange(const QVector<AreaWrite> &writes);

    QString m_fileName;
    ZoneSet m_zones;
    ZoneSet m_onScanner;
    // The file's text, when it is known; otherwise the file's bytes where they are known.
    ZoneStoreText m_text;
    QByteArray m_fileBytes;
    bool m_fileBytesKnown = false;
    // Writes that did not reach the file while its text was not known, and the scanner's
    // channels waiting for the event loop.
    QVector<AreaWrite> m_unwritten;
    QVector<AreaWrite> m_waiting;
    QTimer *m_writeTimer = nullptr;
    // What the strict reading found in the areas as read from a file, by channel * 3 + area.
    QMap<int, ZoneFileProblem> m_problems;
    DiskStamp m_stamp;
    bool m_stampKnown = false;
    QByteArray m_diskBytes; // what the file held then
    bool m_marked = false;
    bool m_markKnown = false;
};
