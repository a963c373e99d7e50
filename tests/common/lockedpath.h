#pragma once

#include <QFile>
#include <QFileInfo>
#include <QString>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

// A file or folder nothing can write to, not even root (tests may run as root, which
// ignores permission bits): read-only permissions, and the immutable attribute where the
// file system has it. Both are undone when the object goes.
class LockedPath
{
public:
    explicit LockedPath(const QString &path)
        : m_path(path), m_folder(QFileInfo(path).isDir()), m_name(QFile::encodeName(path))
    {
        ::chmod(m_name.constData(), m_folder ? 0555 : 0444);
        m_immutable = setImmutable(true);
    }
    ~LockedPath()
    {
        if (m_immutable)
            setImmutable(false);
        ::chmod(m_name.constData(), m_folder ? 0755 : 0644);
    }
    LockedPath(const LockedPath &) = delete;
    LockedPath &operator=(const LockedPath &) = delete;

    // Whether writing really fails here; tests that need it skip otherwise.
    bool locked() const
    {
        QFile probe(m_folder ? m_path + QStringLiteral("/probe") : m_path);
        if (!probe.open(m_folder ? QIODevice::WriteOnly : QIODevice::Append))
            return true;
        if (m_folder)
            probe.remove();
        return false;
    }

private:
    bool setImmutable(bool on) const
    {
        const int fd = ::open(m_name.constData(), O_RDONLY | (m_folder ? O_DIRECTORY : 0));
        if (fd < 0)
            return false;
        int flags = 0;
        bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        if (done) {
            flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
            done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        ::close(fd);
        return done;
    }

    QString m_path;
    bool m_folder;
    QByteArray m_name;
    bool m_immutable = false;
};
