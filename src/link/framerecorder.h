#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>

struct pcap;
struct pcap_dumper;

// Writes the frames the scanner sends into a pcap file: one frame per packet, stamped
// with its arrival time, under the link type LINKTYPE_USER0 (147), which Wireshark and
// tcpdump read as raw user data. Connect the session's frameReceived to addFrame while
// recording; the recorder itself knows nothing of the link. libpcap writes the file, so
// the format is exactly the one those tools expect.
class FrameRecorder : public QObject
{
    Q_OBJECT

public:
    static constexpr int kLinkType = 147;
    // Longer than any frame of the protocol (at most 8202 bytes): nothing is ever cut.
    static constexpr int kSnapLength = 65535;

    explicit FrameRecorder(QObject *parent = nullptr);
    ~FrameRecorder() override; // closes the file

    // Creates the file (an existing one is replaced) and writes its header; a recording
    // already running is closed first. False with the reason in *error when the file
    // cannot be created.
    bool start(const QString &path, QString *error = nullptr);
    // Writes out what is buffered and closes the file; frames after it are not recorded.
    void stop();

    bool isRecording() const { return m_dumper != nullptr; }
    // The file of the running or the last recording.
    QString fileName() const { return m_path; }
    qint64 frameCount() const { return m_frames; }
    qint64 scanFrameCount() const { return m_scanFrames; }
    // Bytes of the file, header included, buffered ones too.
    qint64 fileSize() const;
    // Since start(), up to stop().
    qint64 elapsedMs() const;

public slots:
    // One frame as it came from the scanner; arrivalUs is wall-clock time in microseconds
    // since 1970.
    void addFrame(const QByteArray &frame, qint64 arrivalUs);

signals:
    // The file could not be written (a full disk, a drive pulled out); error is the system's
    // reason. The recording has been stopped and the file closed; what was written before
    // stays readable.
    void failed(const QString &error);

private:
    void flush();
    void fail(int error); // closes the file and reports errno's reason
    void close();

    pcap *m_pcap = nullptr;
    pcap_dumper *m_dumper = nullptr;
    QString m_path;
    qint64 m_frames = 0;
    qint64 m_scanFrames = 0;
    qint64 m_size = 0; // the size when the file was closed
    qint64 m_elapsedAtStop = 0;
    QElapsedTimer m_clock;
    qint64 m_lastFlushMs = 0;
};
