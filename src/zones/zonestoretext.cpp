#include "zonestoretext.h"

#include "zoneset.h"

#include <QList>

namespace {

bool isPlainChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || c == '.';
}

bool isPlainWord(const QByteArray &word)
{
    if (word.isEmpty())
        return false;
    for (char c : word) {
        if (!isPlainChar(c))
            return false;
    }
    return true;
}

// A key of the file ("Area0\Points") as the library reads and sorts it ("Area0/Points").
// Only plain words joined by single separators are taken: the library escapes anything
// else, and such a key would not be written back as it stands.
bool readKey(const QByteArray &raw, QString *key)
{
    const QList<QByteArray> words = raw.split('\\');
    for (const QByteArray &word : words) {
        if (!isPlainWord(word))
            return false;
    }
    *key = QString::fromLatin1(raw).replace(QLatin1Char('\\'), QLatin1Char('/'));
    return true;
}

// A value from outside as the library writes it back: a plain text as it is, a quoted one
// with the quotes only where a comma needs them, and the library's mark of a missing
// value. Anything else (value lists, escapes, spaces, other marks) is not taken.
bool readOutsideValue(const QByteArray &raw, QByteArray *value)
{
    if (raw == "@Invalid()") {
        *value = raw;
        return true;
    }
    QByteArray text = raw;
    const bool quoted = raw.size() >= 2 && raw.startsWith('"') && raw.endsWith('"');
    if (quoted)
        text = raw.mid(1, raw.size() - 2);
    bool comma = false;
    for (char c : qAsConst(text)) {
        if (c == ',' && quoted)
            comma = true;
        else if (!isPlainChar(c) && c != '+')
            return false;
    }
    *value = comma ? raw : text;
    return true;
}

QByteArray areaKey(int area, const char *name)
{
    return QByteArray("Area") + QByteArray::number(area) + '\\' + name;
}

QByteArray pointsValue(const QVector<QPoint> &points)
{
    if (points.isEmpty())
        return QByteArray();
    QByteArray value;
    value.reserve(2 + points.size() * 12);
    value += '"';
    for (const QPoint &p : points) {
        value += QByteArray::number(p.x());
        value += ',';
        value += QByteArray::number(p.y());
        value += ',';
    }
    value += '"';
    return value;
}

} // namespace

bool ZoneStoreText::take(const QByteArray &bytes, Origin origin)
{
    forget();
    QMap<QString, Section> sections;
    Section *current = nullptr;
    int start = 0;
    while (start < bytes.size()) {
        int end = bytes.indexOf('\n', start);
        if (end < 0)
            end = bytes.size();
        const QByteArray line = bytes.mid(start, end - start);
        start = end + 1;
        if (line.isEmpty())
            continue;
        if (line.startsWith('[')) {
            const QByteArray name = line.mid(1, line.size() - 2);
            // The unnamed section of keys without a group is written first, under a name
            // of its own; it is not taken.
            if (!line.endsWith(']') || !isPlainWord(name) || name.toLower() == "general")
                return false;
            current = &sections[QString::fromLatin1(name)];
            continue;
        }
        const int equals = line.indexOf('=');
        QString key;
        if (!current || equals <= 0 || !readKey(line.left(equals), &key) ||
            current->entries.contains(key))
            return false;
        Entry entry;
        entry.key = line.left(equals);
        entry.value = line.mid(equals + 1);
        if (origin == FromOutside && !readOutsideValue(entry.value, &entry.value))
            return false;
        current->entries.insert(key, entry);
    }
    // A section without keys is not written.
    for (auto it = sections.begin(); it != sections.end();) {
        if (it->entries.isEmpty())
            it = sections.erase(it);
        else
            ++it;
    }
    m_sections = sections;
    m_known = true;
    m_stale = true;
    // The library's own output must come back unchanged; if it does not, its layout is
    // not the one this class writes.
    if (origin == WrittenByLibrary && text() != bytes) {
        forget();
        return false;
    }
    return true;
}

void ZoneStoreText::forget()
{
    m_sections.clear();
    m_known = false;
    m_text.clear();
    m_stale = true;
}

void ZoneStoreText::setValue(int channel, int area, const char *name, const QByteArray &value)
{
    Section &section = m_sections[QStringLiteral("Channel%1").arg(channel)];
    const QByteArray key = areaKey(area, name);
    Entry &entry =
        section.entries[QString::fromLatin1(key).replace(QLatin1Char('\\'), QLatin1Char('/'))];
    entry.key = key;
    entry.value = value;
    section.stale = true;
    m_stale = true;
}

void ZoneStoreText::setArea(int channel, int area, const ZoneAreaRecord &record)
{
    setValue(channel, area, "Points", pointsValue(record.points));
    setParameters(channel, area, record);
}

void ZoneStoreText::setParameters(int channel, int area, const ZoneAreaRecord &record)
{
    setValue(channel, area, "regionType", QByteArray::number(record.regionType));
    setValue(channel, area, "dependScale", QByteArray::number(record.dependScale));
    setValue(channel, area, "detectableSize", QByteArray::number(record.detectableSize));
    setValue(channel, area, "onDelay", QByteArray::number(record.onDelay));
    setValue(channel, area, "offDelay", QByteArray::number(record.offDelay));
    setValue(channel, area, "hysteresis", QByteArray::number(record.hysteresis));
}

const QByteArray &ZoneStoreText::sectionText(const QString &name, const Section &section) const
{
    if (section.stale) {
        QByteArray &text = section.text;
        text.clear();
        text += '[';
        text += name.toLatin1();
        text += "]\n";
        for (const Entry &entry : section.entries) {
            text += entry.key;
            text += '=';
            text += entry.value;
            text += '\n';
        }
        section.stale = false;
    }
    return section.text;
}

QByteArray ZoneStoreText::text() const
{
    if (!m_stale)
        return m_text;
    int size = 0;
    for (auto it = m_sections.cbegin(); it != m_sections.cend(); ++it)
        size += sectionText(it.key(), it.value()).size() + 1;
    m_text.clear();
    m_text.reserve(size);
    for (auto it = m_sections.cbegin(); it != m_sections.cend(); ++it) {
        if (it != m_sections.cbegin())
            m_text += '\n';
        m_text += it->text;
    }
    m_stale = false;
    return m_text;
}

QByteArray zoneFileText(const ZoneSet &zones)
{
    ZoneStoreText text;
    text.take(QByteArray(), ZoneStoreText::WrittenByLibrary);
    for (int c = 0; c < kZoneChannelCount; ++c)
        for (int k = 0; k < kAreasPerChannel; ++k)
            text.setArea(c, k, zones.area(c, k));
    return text.text();
}
