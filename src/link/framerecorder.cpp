#include "framerecorder.h"

#include "framecodec.h"

#include <QFile>

#include <pcap/pcap.h>

#include <cerrno>
#include <cstring>

namespace {

// Once a second the buffered packets go to the file, so that a recording cut off by a
// crash or a power cut loses at most that much.
constexpr qint64 kFlushIntervalMs = 1000;

} // namespace

FrameRecorder::FrameRecorder(QObject *parent) : QObject(parent) {}

FrameRecorder::~FrameRecorder()
{
    close();
}

bool FrameRecorder::start(const QString &path, QString *error)
{
    stop();
    m_path = path;
    m_frames = 0;
    m_scanFrames = 0;
    m_size = 0;
    m_elapsedAtStop = 0;
    m_pcap = pcap_open_dead(kLinkType, kSnapLength);
    if (!m_pcap) {
        if (error)
            *error = QStringLiteral("libpcap cannot make a capture handle");
        return false;
    }
    m_dumper = pcap_dump_open(m_pcap, QFile::encodeName(path).constData());
    if (!m_dumper) {
        if (error)
            *error = QString::fromLocal8Bit(pcap_geterr(m_pcap));
        pcap_close(m_pcap);
        m_pcap = nullptr;
        return false;
    }
    m_clock.start();
    m_lastFlushMs = 0;
    return true;
}

void FrameRecorder::stop()
{
    if (!m_dumper)
        return;
    m_elapsedAtStop = m_clock.elapsed();
    flush();
    close();
}

void FrameRecorder::close()
{
    if (m_dumper) {
        m_size = pcap_dump_ftell64(m_dumper);
        pcap_dump_close(m_dumper);
        m_dumper = nullptr;
    }
    if (m_pcap) {
        pcap_close(m_pcap);
        m_pcap = nullptr;
    }
}

qint64 FrameRecorder::fileSize() const
{
    return m_dumper ? qint64(pcap_dump_ftell64(m_dumper)) : m_size;
}

qint64 FrameRecorder::elapsedMs() const
{
    return m_dumper ? m_clock.elapsed() : m_elapsedAtStop;
}

void FrameRecorder::addFrame(const QByteArray &frame, qint64 arrivalUs)
{
    if (!m_dumper || frame.isEmpty())
        return;
    pcap_pkthdr header;
    std::memset(&header, 0, sizeof header);
    header.ts.tv_sec = time_t(arrivalUs / 1000000);
    header.ts.tv_usec = suseconds_t(arrivalUs % 1000000);
    header.caplen = bpf_u_int32(frame.size());
    header.len = header.caplen;
    // The stream's buffer goes out whenever it is full: a full disk shows here first, and
    // only errno tells why (a later flush finds the buffer already dropped).
    errno = 0;
    pcap_dump(reinterpret_cast<u_char *>(m_dumper), &header,
              reinterpret_cast<const u_char *>(frame.constData()));
    if (std::ferror(pcap_dump_file(m_dumper))) {
        fail(errno);
        return;
    }
    ++m_frames;
    if (frame.size() == kScanFrameSize && quint8(frame.at(1)) == kScanMark)
        ++m_scanFrames;
    const qint64 now = m_clock.elapsed();
    if (now - m_lastFlushMs >= kFlushIntervalMs) {
        m_lastFlushMs = now;
        flush();
    }
}

void FrameRecorder::flush()
{
    if (!m_dumper)
        return;
    errno = 0;
    if (pcap_dump_flush(m_dumper) == 0 && !std::ferror(pcap_dump_file(m_dumper)))
        return;
    fail(errno);
}

void FrameRecorder::fail(int error)
{
    const QString reason =
        error ? QString::fromLocal8Bit(std::strerror(error)) : QStringLiteral("write error");
    m_elapsedAtStop = m_clock.elapsed();
    // Closing writes nothing more worth having; its own error is the same one.
    close();
    emit failed(reason);
}
