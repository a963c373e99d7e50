// Zone editor: copy and paste of an area, a channel's areas copied over other channels,
// and the mirror of an area. Each is one step of the history, and the store takes the
// result at once, so the copied channels count as not yet on the scanner.
#include "zoneeditor.h"

#include "ui_mainwindow.h"
#include "windowtexts.h"
#include "zoneedit.h"
#include "zonestorefile.h"

#include <QInputDialog>
#include <QMessageBox>
#include <QStatusBar>

namespace {
constexpr int kStatusMs = 5000;

// "8-15, 20" back from a list of channels, ranges of three or more folded.
QString channelRanges(const QVector<int> &channels)
{
    QStringList parts;
    for (int i = 0; i < channels.size();) {
        int j = i;
        while (j + 1 < channels.size() && channels[j + 1] == channels[j] + 1)
            ++j;
        if (j - i >= 2)
            parts << QStringLiteral("%1-%2").arg(channels[i]).arg(channels[j]);
        else
            for (int k = i; k <= j; ++k)
                parts << QString::number(channels[k]);
        i = j + 1;
    }
    return parts.join(QStringLiteral(", "));
}
} // namespace

void ZoneEditor::copyArea()
{
    copiedArea = areaSettings[currentArea];
    statusBar->showMessage(
        windowTr("已复制第%1区域组的%2").arg(currentChannel).arg(areaTitle(currentArea)),
        kStatusMs);
}

void ZoneEditor::pasteArea()
{
    if (!copiedArea) {
        statusBar->showMessage(windowTr("没有复制的区域可粘贴"), kStatusMs);
        return;
    }
    const Snapshot before = capture();
    putAreaRecord(currentArea, *copiedArea);
    saveChannel();
    pushStep(windowTr("粘贴到%1").arg(areaTitle(currentArea)), before, 1 << currentArea);
}

void ZoneEditor::mirrorArea()
{
    const Snapshot before = capture();
    putAreaRecord(currentArea, ZoneEdit::mirroredArea(areaSettings[currentArea]));
    saveChannel();
    pushStep(windowTr("镜像%1").arg(areaTitle(currentArea)), before, 1 << currentArea);
}

void ZoneEditor::askCopyChannelTo()
{
    QString typed;
    if (channelListProvider) {
        typed = channelListProvider();
    } else {
        bool ok = false;
        typed = QInputDialog::getText(window, windowTr("复制通道到…"),
                                      windowTr("把第%1区域组的三个区域复制到这些区域组"
                                               "（例如 8-15, 20）：")
                                          .arg(currentChannel),
                                      QLineEdit::Normal, QString(), &ok);
        if (!ok)
            return;
    }
    if (typed.trimmed().isEmpty())
        return;
    QVector<int> channels;
    QString bad;
    if (!ZoneEdit::parseChannelList(typed, kZoneChannelCount, &channels, &bad)) {
        QMessageBox::warning(window, windowTr("提示"),
                             windowTr("“%1”不是0至63的区域组编号或范围").arg(bad.trimmed()),
                             QMessageBox::Ok);
        return;
    }
    copyChannelTo(channels);
}

bool ZoneEditor::copyChannelTo(const QVector<int> &channels)
{
    QVector<int> targets;
    for (int channel : channels)
        if (channel >= 0 && channel < kZoneChannelCount && channel != currentChannel)
            targets.append(channel);
    if (targets.isEmpty()) {
        statusBar->showMessage(windowTr("没有其他区域组可复制到"), kStatusMs);
        return false;
    }
    const auto answer =
        QMessageBox::question(window, windowTr("提示"),
                              windowTr("第%1区域组的三个区域将替换%2个区域组（%3）的区域。继续吗？")
                                  .arg(currentChannel)
                                  .arg(targets.size())
                                  .arg(channelRanges(targets)),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes)
        return false;
    return copyChannelOver(targets);
}

bool ZoneEditor::copyChannelOver(const QVector<int> &channels)
{
    QVector<int> targets;
    for (int channel : channels)
        if (channel >= 0 && channel < kZoneChannelCount && channel != currentChannel)
            targets.append(channel);
    if (targets.isEmpty())
        return false;
    // The copies are of the channel as the editor shows it.
    if (!saveChannel())
        return false;
    Snapshot before = capture();
    before.set = std::make_shared<const ZoneStoreFile::Snapshot>(store->snapshot());
    const ZoneChannelRecord source = store->channel(currentChannel);
    if (!store->setChannels(targets, source))
        storeWriteFailed();
    pushSetStep(windowTr("复制第%1区域组到%2个区域组").arg(currentChannel).arg(targets.size()),
                std::move(before));
    statusBar->showMessage(windowTr("第%1区域组已复制到%2个区域组，尚未上传到扫描仪")
                               .arg(currentChannel)
                               .arg(targets.size()),
                           kStatusMs);
    return true;
}
