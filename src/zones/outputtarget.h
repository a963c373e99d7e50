#pragma once

#include <QString>
#include <QStringList>

// Where the tool may write a file the user named (a zone file, a report, a recording):
// never over its own ini files of the working folder, never over the input it is working
// from, never over anything that is not a regular file, and never through a folder it
// cannot write in. The window and areascan-cli ask the same question and refuse the same
// targets; the new file is then written beside the old one and renamed over it.
struct OutputTarget
{
    enum Refusal
    {
        None,
        OwnFile,           // settings.ini, config.ini or factorySettings.ini of the folder
        OwnInput,          // the file the command reads
        NotARegularFile,   // a folder, a device, a FIFO, a socket, a link to nothing
        NoFolder,          // the folder it would go in does not exist
        FolderNotWritable, // the folder cannot be written (the new file goes in it first)
        FileNotWritable,   // the file itself may not be written
    };
    // For NotARegularFile: what the path is.
    enum Kind
    {
        RegularFile,
        Directory,
        Device,
        Fifo,
        Socket,
        BrokenLink,
        OtherKind,
    };
    Refusal refusal = None;
    Kind kind = RegularFile;
    // The file to write: a link to a regular file is followed, so the link stays.
    QString path;
    // OwnFile: the own file's name; OwnInput: the input as the caller named it; a folder
    // for NoFolder and FolderNotWritable. The system's reason for FolderNotWritable and
    // FileNotWritable in systemError.
    QString detail;
    QString systemError;
    bool exists = false; // a regular file is there and would be replaced

    explicit operator bool() const { return refusal == None; }
};

// The files of the working folder the tool keeps for itself.
QStringList ownFileNames();

// Checks path (relative to workingFolder) as a target. inputs: the files the command
// reads, by any path. Links and other spellings of the same file count as that file.
OutputTarget checkOutputTarget(const QString &path, const QString &workingFolder,
                               const QStringList &inputs = QStringList());

// Whether two paths name the same file (by its identity on disk when both exist,
// otherwise by their resolved paths).
bool isSameFile(const QString &a, const QString &b);

// The refusal in English, for a script's log: "it is a folder", "it is config.ini, a
// file the tool keeps for itself", "the folder /x cannot be written: Permission denied".
QString describeOutputRefusal(const OutputTarget &target);
