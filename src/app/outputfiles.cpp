#include "outputfiles.h"

#include "outputtarget.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

namespace {

// The window's texts live in the catalogue under its own context.
QString text(const char *source)
{
    return QCoreApplication::translate("MainWindow", source);
}

QString reasonText(const OutputTarget &t)
{
    switch (t.refusal) {
    case OutputTarget::None:
    case OutputTarget::OwnFile:
        break;
    case OutputTarget::OwnInput:
        return text("它就是正在读取的文件%1").arg(QDir::toNativeSeparators(t.detail));
    case OutputTarget::NotARegularFile:
        switch (t.kind) {
        case OutputTarget::Directory:
            return text("这是一个文件夹");
        case OutputTarget::Device:
            return text("这是一个设备，不是普通文件");
        case OutputTarget::BrokenLink:
            return text("这是一个指向不存在文件的链接");
        default:
            return text("这不是普通文件");
        }
    case OutputTarget::NoFolder:
        return text("文件夹%1不存在").arg(t.detail);
    case OutputTarget::FolderNotWritable:
        return text("文件夹%1不能写入（%2）").arg(t.detail, t.systemError);
    case OutputTarget::FileNotWritable:
        return text("文件不允许写入（%1）").arg(t.systemError);
    }
    return QString();
}

} // namespace

QString askSaveFileName(QWidget *parent, const QString &caption, const QString &proposed,
                        const QString &filter)
{
    return QFileDialog::getSaveFileName(parent, caption, proposed, filter, nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

QString chosenOutputFile(QWidget *parent, const QString &chosen, bool askReplace,
                         const QString &cannotWrite, const QString &ownFileRefusal)
{
    const QString shown = QDir::toNativeSeparators(chosen);
    const OutputTarget target = checkOutputTarget(chosen, QDir::currentPath());
    if (!target) {
        QMessageBox::critical(parent, text("提示"),
                              target.refusal == OutputTarget::OwnFile
                                  ? ownFileRefusal.arg(shown)
                                  : cannotWrite.arg(shown, reasonText(target)),
                              QMessageBox::Ok);
        return QString();
    }
    if (askReplace && target.exists &&
        QMessageBox::question(parent, text("提示"), text("%1已存在。要替换它吗？").arg(shown),
                              QMessageBox::Yes | QMessageBox::No,
                              QMessageBox::No) != QMessageBox::Yes)
        return QString();
    return target.path;
}
