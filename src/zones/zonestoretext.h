#pragma once

#include "zoneblock.h"

#include <QByteArray>
#include <QMap>
#include <QString>

// The text of the zone store file as the settings library writes it, kept in memory: its
// sections in name order, the keys of each in name order, a blank line between sections,
// every value in the library's own escaping. A change of one channel then costs the lines
// of that channel, not a parse and a rewrite of every key of all 64 channels, and the
// file it gives is byte for byte the one the library would have written.
//
// Only texts whose rewrite by the library is known are taken; for anything else (a
// comment, a value list, a key outside the plain alphabet) the text is not known, and the
// caller writes through the library itself.
class ZoneSet;

class ZoneStoreText
{
public:
    enum Origin
    {
        WrittenByLibrary, // the library's own output: every value is kept as it stands
        FromOutside,      // any file: values only in the plain forms the library keeps
    };

    // Takes the bytes of a store file. False, with nothing known afterwards, when they
    // hold anything whose rewrite is not known.
    bool take(const QByteArray &bytes, Origin origin);
    bool isKnown() const { return m_known; }
    void forget();

    // The seven keys of an area, or only its six numbers; what saving the area through the
    // library writes.
    void setArea(int channel, int area, const ZoneAreaRecord &record);
    void setParameters(int channel, int area, const ZoneAreaRecord &record);

    // The file as the library would write it now.
    QByteArray text() const;

private:
    struct Entry
    {
        QByteArray key; // escaped as in the file
        QByteArray value;
    };
    struct Section
    {
        QMap<QString, Entry> entries; // by the key as the library sorts it
        mutable QByteArray text;
        mutable bool stale = true;
    };

    void setValue(int channel, int area, const char *name, const QByteArray &value);
    const QByteArray &sectionText(const QString &name, const Section &section) const;

    QMap<QString, Section> m_sections;
    bool m_known = false;
    mutable QByteArray m_text;
    mutable bool m_stale = true;
};

// The file the settings library writes for a store that holds every key of every area of
// the set and nothing else: a zone file of the set, as the store would be copied to one.
QByteArray zoneFileText(const ZoneSet &zones);
