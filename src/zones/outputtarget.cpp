#include "outputtarget.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
}

// The path made absolute and clean, its links resolved as far as it exists.
QString resolvedPath(const QString &path, const QString &folder)
{
    const QFileInfo info(QDir::cleanPath(QDir(folder).absoluteFilePath(path)));
    if (info.exists())
        return info.canonicalFilePath();
    const QString parent = QFileInfo(info.absolutePath()).canonicalFilePath();
    return parent.isEmpty() ? info.absoluteFilePath() : QDir(parent).filePath(info.fileName());
}

OutputTarget::Kind kindOf(const struct stat &st)
{
    if (S_ISREG(st.st_mode))
        return OutputTarget::RegularFile;
    if (S_ISDIR(st.st_mode))
        return OutputTarget::Directory;
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
        return OutputTarget::Device;
    if (S_ISFIFO(st.st_mode))
        return OutputTarget::Fifo;
    if (S_ISSOCK(st.st_mode))
        return OutputTarget::Socket;
    return OutputTarget::OtherKind;
}

bool sameIdentity(const QString &a, const QString &b)
{
    struct stat sa;
    struct stat sb;
    if (::stat(encoded(a).constData(), &sa) != 0 || ::stat(encoded(b).constData(), &sb) != 0)
        return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool sameFileIn(const QString &a, const QString &b, const QString &folder)
{
    const QString ra = QDir(folder).absoluteFilePath(a);
    const QString rb = QDir(folder).absoluteFilePath(b);
    if (sameIdentity(ra, rb))
        return true;
    return resolvedPath(ra, folder) == resolvedPath(rb, folder);
}

} // namespace

QStringList ownFileNames()
{
    return {QStringLiteral("settings.ini"), QStringLiteral("config.ini"),
            QStringLiteral("factorySettings.ini")};
}

bool isSameFile(const QString &a, const QString &b)
{
    return sameFileIn(a, b, QDir::currentPath());
}

OutputTarget checkOutputTarget(const QString &path, const QString &workingFolder,
                               const QStringList &inputs)
{
    OutputTarget t;
    const QString absolute = QDir::cleanPath(QDir(workingFolder).absoluteFilePath(path));
    t.path = resolvedPath(absolute, workingFolder);

    for (const QString &own : ownFileNames()) {
        if (sameFileIn(absolute, QDir(workingFolder).filePath(own), workingFolder)) {
            t.refusal = OutputTarget::OwnFile;
            t.detail = own;
            return t;
        }
    }
    for (const QString &input : inputs) {
        if (!input.isEmpty() && sameFileIn(absolute, input, workingFolder)) {
            t.refusal = OutputTarget::OwnInput;
            t.detail = input;
            return t;
        }
    }

    struct stat link;
    if (::lstat(encoded(absolute).constData(), &link) == 0) {
        struct stat st;
        t.kind =
            ::stat(encoded(absolute).constData(), &st) == 0 ? kindOf(st) : OutputTarget::BrokenLink;
        if (t.kind != OutputTarget::RegularFile) {
            t.refusal = OutputTarget::NotARegularFile;
            return t;
        }
        t.exists = true;
    }

    // The new file is made in the folder first and renamed over the old one: the folder
    // must take it, whatever the old file allows.
    const QString folder = QFileInfo(t.path).absolutePath();
    if (!QFileInfo(folder).isDir()) {
        t.refusal = OutputTarget::NoFolder;
        t.detail = QDir::toNativeSeparators(folder);
        return t;
    }
    if (::access(encoded(folder).constData(), W_OK | X_OK) != 0) {
        t.refusal = OutputTarget::FolderNotWritable;
        t.detail = QDir::toNativeSeparators(folder);
        t.systemError = QString::fromLocal8Bit(std::strerror(errno));
        return t;
    }
    if (t.exists && ::access(encoded(t.path).constData(), W_OK) != 0) {
        t.refusal = OutputTarget::FileNotWritable;
        t.systemError = QString::fromLocal8Bit(std::strerror(errno));
        return t;
    }
    return t;
}

QString describeOutputRefusal(const OutputTarget &t)
{
    switch (t.refusal) {
    case OutputTarget::None:
        break;
    case OutputTarget::OwnFile:
        return QStringLiteral("it is %1, a file the tool keeps for itself").arg(t.detail);
    case OutputTarget::OwnInput:
        return QStringLiteral("it is the input %1 itself").arg(t.detail);
    case OutputTarget::NotARegularFile:
        switch (t.kind) {
        case OutputTarget::Directory:
            return QStringLiteral("it is a folder");
        case OutputTarget::Device:
            return QStringLiteral("it is a device, not a regular file");
        case OutputTarget::Fifo:
            return QStringLiteral("it is a FIFO, not a regular file");
        case OutputTarget::Socket:
            return QStringLiteral("it is a socket, not a regular file");
        case OutputTarget::BrokenLink:
            return QStringLiteral("it is a link to nothing");
        default:
            return QStringLiteral("it is not a regular file");
        }
    case OutputTarget::NoFolder:
        return QStringLiteral("the folder %1 does not exist").arg(t.detail);
    case OutputTarget::FolderNotWritable:
        return QStringLiteral("the folder %1 cannot be written: %2").arg(t.detail, t.systemError);
    case OutputTarget::FileNotWritable:
        return QStringLiteral("the file may not be written: %1").arg(t.systemError);
    }
    return QString();
}
