// Zone editor history: each edit of the zone page as one step, put back by restoring the
// editor's records, the marks that decide what the next save writes, and the store's copy
// of the area as it was when the step was made.
#include "zoneeditor.h"

#include "pathitem.h"
#include "ui_mainwindow.h"
#include "windowtexts.h"

#include <QMessageBox>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QUndoStack>

namespace {
constexpr int kAllAreas = 0x7;
constexpr int kDragStepId = 1;
} // namespace

// One step of the history. It is pushed after its edit was made, so its first redo, which
// the stack runs at once, has nothing left to do.
class ZoneEditStep : public QUndoCommand
{
public:
    ZoneEditStep(ZoneEditor *editor, const QString &name, ZoneEditor::Snapshot before,
                 ZoneEditor::Snapshot after, int areas, int dragStep)
        : QUndoCommand(name), editor(editor), before(std::move(before)), after(std::move(after)),
          areas(areas), dragStep(dragStep)
    {
    }

    void undo() override { editor->applySnapshot(before, areas); }
    void redo() override
    {
        if (made) {
            made = false;
            return;
        }
        editor->applySnapshot(after, areas);
    }
    int id() const override { return dragStep > 0 ? kDragStepId : -1; }
    // The moves of one drag are one step: its last move's state is the step's end.
    bool mergeWith(const QUndoCommand *other) override
    {
        const auto *next = static_cast<const ZoneEditStep *>(other);
        if (next->dragStep != dragStep)
            return false;
        after = next->after;
        return true;
    }

private:
    ZoneEditor *editor;
    ZoneEditor::Snapshot before;
    ZoneEditor::Snapshot after;
    int areas;
    int dragStep;
    bool made = true;
};

QString ZoneEditor::areaTitle(int area) const
{
    return form->areas->itemText(area);
}

ZoneEditor::Snapshot ZoneEditor::capture() const
{
    Snapshot s;
    s.channel = currentChannel;
    s.area = currentArea;
    s.records = areaSettings;
    s.marks = areaEdits;
    s.stored = store->channel(currentChannel);
    s.backwardDeleteIndex = backwardDeleteIndex;
    return s;
}

void ZoneEditor::pushStep(const QString &name, const Snapshot &before, int areas, int dragStep)
{
    if (applyingStep)
        return;
    Snapshot after = capture();
    bool changed =
        before.channel != after.channel || before.backwardDeleteIndex != after.backwardDeleteIndex;
    for (int k = 0; k < 3; ++k) {
        if (areas & (1 << k))
            changed = changed || before.records[k] != after.records[k] ||
                      before.marks[k] != after.marks[k];
    }
    if (changed)
        history->push(new ZoneEditStep(this, name, before, std::move(after), areas, dragStep));
}

void ZoneEditor::clearHistory()
{
    history->clear();
}

void ZoneEditor::beginDrag()
{
    dragging = true;
    ++dragSerial;
}

void ZoneEditor::endDrag()
{
    dragging = false;
}

void ZoneEditor::storeWriteFailed()
{
    QMessageBox::critical(window, windowTr("提示"),
                          windowTr("无法写入区域存储config.ini，第%1区域组的修改只保留在编辑器中")
                              .arg(currentChannel),
                          QMessageBox::Ok);
}

// Brings the editor to the step's channel and area and puts back what the step changed.
// The edits of another channel the editor holds are saved first, as a channel change
// does; the store's copy of the step's areas goes back to what it held then (a save may
// have written the edit there since), and the marks with it, so that the next save writes
// exactly what it would have written then.
void ZoneEditor::applySnapshot(const Snapshot &s, int areas)
{
    const QScopedValueRollback<bool> applying(applyingStep, true);
    if (s.set) {
        if (!store->restore(*s.set))
            storeWriteFailed();
        currentChannel = s.channel;
        loadChannel(s.channel);
    } else {
        if (s.channel != currentChannel) {
            saveChannel();
            currentChannel = s.channel;
            loadChannel(s.channel);
        }
        ZoneStoreFile::ChannelKeys keys = {};
        bool differs = false;
        for (int k = 0; k < 3; ++k) {
            if ((areas & (1 << k)) && store->channel(s.channel)[size_t(k)] != s.stored[size_t(k)]) {
                keys[size_t(k)] = ZoneStoreFile::AllKeys;
                differs = true;
            }
        }
        if (differs && !store->setChannel(s.channel, s.stored, keys))
            storeWriteFailed();
    }
    for (int k = 0; k < 3; ++k) {
        if (!(areas & (1 << k)))
            continue;
        areaSettings[k] = s.records[k];
        areaEdits[k] = s.marks[k];
        // An outline without vertices keeps its path when it is rebuilt.
        zoneItems[k]->setPath(QPainterPath());
    }
    backwardDeleteIndex = s.backwardDeleteIndex;
    currentArea = s.area;
    selectedArea = s.area;
    {
        const QSignalBlocker quietChannels(form->channels);
        const QSignalBlocker quietAreas(form->areas);
        form->channels->setCurrentIndex(s.channel);
        form->areas->setCurrentIndex(s.area);
    }
    rebuildChannelShapes();
    showAreaSelectors();
    checkShapeButton(areaSettings[currentArea].regionType);
    emit stepApplied();
}

void ZoneEditor::pushSetStep(const QString &name, Snapshot before)
{
    if (applyingStep)
        return;
    Snapshot after = capture();
    after.set = std::make_shared<const ZoneStoreFile::Snapshot>(store->snapshot());
    history->push(new ZoneEditStep(this, name, std::move(before), std::move(after), kAllAreas, 0));
}

ZoneStoreFile::Copy ZoneEditor::takeZoneFile(const ZoneFile &file, const QString &stepName)
{
    Snapshot before = capture();
    before.set = std::make_shared<const ZoneStoreFile::Snapshot>(store->snapshot());
    ZoneStoreFile::Copy copy = store->replace(file);
    if (!copy.stored)
        return copy;
    // What the editor changed belongs to the old set: it must not be saved over the new
    // one. The selector shows the channel the editor now holds; the change runs here, once.
    dropEdits();
    {
        const QSignalBlocker quiet(form->channels);
        form->channels->setCurrentIndex(0);
    }
    showChannel(0);
    if (applyingStep)
        return copy;
    Snapshot after = capture();
    after.set = std::make_shared<const ZoneStoreFile::Snapshot>(store->snapshot());
    history->push(
        new ZoneEditStep(this, stepName, std::move(before), std::move(after), kAllAreas, 0));
    return copy;
}
