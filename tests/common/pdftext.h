#pragma once

// Reads a PDF back the way a reader would: its page count from pdfinfo, its text from
// pdftotext (both from poppler-utils, which build.sh installs). A missing tool fails the
// test that asks for it; it never skips.

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QString>
#include <QtTest>

namespace PdfText {

inline QString runTool(const char *tool, const QStringList &args, bool *ok)
{
    *ok = false;
    const QString program = QStandardPaths::findExecutable(QLatin1String(tool));
    if (program.isEmpty()) {
        qWarning("%s not found: install poppler-utils (build.sh does)", tool);
        return QString();
    }
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        qWarning("%s failed: %s", tool, process.readAllStandardError().constData());
        return QString();
    }
    *ok = true;
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The number of pages, or -1 when the file is no PDF or pdfinfo is missing.
inline int pageCount(const QString &pdf)
{
    bool ok = false;
    const QString info = runTool("pdfinfo", {pdf}, &ok);
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("^Pages:\\s+(\\d+)\\s*$"),
                                                         QRegularExpression::MultilineOption)
                                          .match(info);
    return ok && m.hasMatch() ? m.captured(1).toInt() : -1;
}

// The text of pages first to last (1-based; 0: all), every run of white space made one
// blank so that a search does not depend on how the lines were laid out. Null on failure.
inline QString text(const QString &pdf, int first = 0, int last = 0)
{
    // Laid out as printed, so that a label and its value stay on one line.
    QStringList args{QStringLiteral("-layout")};
    if (first > 0)
        args << QStringLiteral("-f") << QString::number(first);
    if (last > 0)
        args << QStringLiteral("-l") << QString::number(last);
    args << pdf << QStringLiteral("-");
    bool ok = false;
    const QString out = runTool("pdftotext", args, &ok);
    if (!ok)
        return QString();
    return out.simplified();
}

} // namespace PdfText
