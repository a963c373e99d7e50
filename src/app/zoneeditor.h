#pragma once

#include "areasettings.h"
#include "zonestorefile.h"

#include <QBrush>
#include <QObject>
#include <QPainterPath>
#include <QPoint>
#include <QPointF>
#include <QString>
#include <QVector>

#include <functional>
#include <memory>
#include <optional>

class PathItem;
class QGraphicsEllipseItem;
class QGraphicsItem;
class QGraphicsPathItem;
class QLabel;
class QStandardItem;
class QStandardItemModel;
class QStatusBar;
class QUndoStack;
class QWidget;
class RectangleItem;
class ScanPointLayer;
class ZoneEditStep;

namespace Ui {
class MainWindow;
}

// The zone page's editor: the three area records of the channel being edited, the vertex
// handles, the outlines and the point table of the edited area, and what the user changed
// since the channel was taken from the zone set. Only what the user changed is written
// back into the set, so a channel that is only looked at keeps what was read.
//
// The editor connects the zone page's widgets of the form it is given (selectors, shape
// buttons, the point table, the view with its handles and outlines) and the Edit menu's
// undo and redo to the entry points below, and works on the zone set of the store file.
// The window's described slots forward to the same entry points.
class ZoneEditor : public QObject
{
    Q_OBJECT

public:
    // Builds the zone scene's items (grid, field of view, handles, outlines) and the point
    // table model. Boxes open over window, refusals show in statusBar.
    ZoneEditor(Ui::MainWindow *form, QWidget *window, QStatusBar *statusBar, ZoneStoreFile *store,
               QObject *parent = nullptr);

    // The fill of an area's zone, in the editor and in the running-status view.
    static QBrush zoneBrush(int area);

    const QVector<RectangleItem *> &handles() const { return vertexHandles; }
    const QVector<PathItem *> &outlines() const { return zoneItems; }
    QStandardItemModel *pointModel() const { return model; }

    int editedChannel() const { return currentChannel; }
    int editedArea() const { return currentArea; }
    const AreaSettings &areaRecord(int area) const { return areaSettings[area]; }
    bool hasEdits() const;

    // The channel change: the edited channel is saved first, then the new one is taken.
    // When the save fails the editor keeps its channel and the selector shows it again.
    bool showChannel(int channel);
    // Writes what the user changed in the edited channel into the set (and so into
    // config.ini). False, after telling the user, when the store could not be written: the
    // edits stay in the editor then.
    bool saveChannel();
    // The store's zones with the edits only the editor holds laid over them: what the
    // store will hold once the edited channel is saved.
    ZoneSet zonesWithEdits() const;
    // The set's copy of a channel was replaced (read from the scanner, a zone file, a step
    // back): the editor takes that channel as it is now, its own changes dropped.
    void takeChannel(int channel);
    // The whole set was replaced under the editor: what it changed belongs to the old set
    // and is never written over the new one.
    void dropEdits() { areaEdits.fill(0); }
    // After a channel's records were taken: rebuild the three outlines, then show the area
    // the user last picked with its handles and table rows.
    void rebuildChannelShapes();
    // Puts a record in place of an area's (a zone drawn from a scan): it is drawn, and
    // written with the next save like any edit. One step of the history, named stepName
    // (by default "Replace" and the area).
    void replaceAreaRecord(int area, const AreaSettings &record,
                           const QString &stepName = QString());

    // The history of the zone page: one step per handle drag (press to release), typed
    // cell, shape button, backward delete, parameter selector change, replaced area record
    // and zone file load. A step remembers its channel and area and brings the editor back
    // there; taking it back restores the records, the rows, the outlines, the selectors and
    // what the next save writes, so an edit taken back leaves the store's keys as they were.
    QUndoStack *undoStack() const { return history; }
    // The set was replaced by the scanner's zones: no step may be taken back over them.
    void clearHistory();
    // A zone file that passed the strict reading replaces the whole set, as one step; the
    // editor then shows its channel 0. Nothing changes when the store cannot be written.
    ZoneStoreFile::Copy takeZoneFile(const ZoneFile &file, const QString &stepName);
    // A vertex handle was taken hold of and let go: the moves in between are one step.
    void beginDrag();
    void endDrag();

    // The live scan over the zones, one square per measurement.
    void showScan(const QVector<float> &angles, const QVector<ushort> &ranges,
                  const QVector<ushort> &intensities);

    // Another set's outlines of a channel, drawn dashed over the editor's own while the
    // editor shows that channel (a comparison with a file or the scanner).
    void showOtherOutlines(int channel, const QVector<QPainterPath> &paths);
    void hideOtherOutlines();
    const QVector<QGraphicsPathItem *> &otherOutlines() const { return comparedItems; }

    // What the user does on the zone page: the selectors, shape buttons, outline clicks and
    // the backward delete (zoneworkflow.cpp), the handles and the point table
    // (zonetable.cpp), the cursor over the view (zoneeditor.cpp).
    void selectArea(int area);
    void setParameter(const QObject *selector, int index);
    void chooseShape(const QObject *button);
    void selectOutline(int area);
    void backwardDelete();
    void moveHandle(RectangleItem *handle, const QPointF &pos);
    void takeCell(QStandardItem *item);
    void touchTable() { tableTouched = true; }
    void focusChanged(QGraphicsItem *newFocusItem);
    // The cursor read-out under the view: metres, distance and angle, and millimetres in
    // the status bar.
    void showCursor(const QPoint &viewPoint);

    // Copy and paste of the edited area (shape, vertices, its six numbers), within the
    // channel or into another; a channel's three areas copied over other channels; the
    // edited area mirrored about the scanner's forward axis (zoneclipboard.cpp). Each is
    // one step of the history, and the store takes the result at once.
    void copyArea();
    bool hasCopiedArea() const { return copiedArea.has_value(); }
    void pasteArea();
    void mirrorArea();
    // Asks for the channels (ranges such as "8-15, 20"), then copyChannelTo.
    void askCopyChannelTo();
    // Asks whether the named channels (all but the edited one) may be replaced, then
    // copies; false when nothing was copied.
    bool copyChannelTo(const QVector<int> &channels);
    // The copy itself, once agreed: the edited channel saved, then written over the
    // targets (the edited one left out) in one write and one step.
    bool copyChannelOver(const QVector<int> &targets);
    // Where askCopyChannelTo gets the typed channel list from; by default a dialog. An
    // empty text cancels.
    void setChannelListProvider(std::function<QString()> provider)
    {
        channelListProvider = std::move(provider);
    }

    // The view's tools (zonenavigation.cpp): fit the three areas and the field of view,
    // the handles' size on the screen, the grid drags snap to, the measured distance.
    void zoomToFit();
    void setSnapGridMm(int gridMm);
    int snapGridMm() const { return snapGrid; }
    void setSnapping(bool on);
    bool isSnapping() const { return snapping; }
    // The keys on the selected vertex: arrows move it by (dxMm, dyMm), world Y up; the
    // presses of one series (nothing else done between, the same vertex) are one step.
    // Delete removes a polygon's selected vertex, Tab selects the next. False when there
    // was nothing to do.
    int selectedVertex() const;
    bool nudgeSelectedVertex(int dxMm, int dyMm);
    bool deleteSelectedVertex();
    bool selectNextVertex();

signals:
    // A backward delete cleared the area's zone.
    void areaCleared(int area);
    // A step was taken back or done again; the store may hold other zones now.
    void stepApplied();
    // Whether the history has a step to take back and one to do again.
    void historyChanged(bool canUndo, bool canRedo);

private:
    friend class ZoneEditStep;
    // The editor and the store's copy of the edited channel at one moment; a whole-set step
    // also holds the whole store.
    struct Snapshot
    {
        int channel = 0;
        int area = 0;
        QVector<AreaSettings> records;
        QVector<int> marks;
        ZoneChannelRecord stored;
        int backwardDeleteIndex = 2;
        std::shared_ptr<const ZoneStoreFile::Snapshot> set;
    };
    Snapshot capture() const;
    // Pushes the step from before to now, if any of the given areas (bit k for area k)
    // changed. Steps of one drag (dragStep > 0) become one.
    void pushStep(const QString &name, const Snapshot &before, int areas, int dragStep = 0);
    void applySnapshot(const Snapshot &snapshot, int areas);
    // Pushes a step that replaced channels of the whole set; before holds the set.
    void pushSetStep(const QString &name, Snapshot before);
    // Puts a record in place of an area's and draws it, no step.
    void putAreaRecord(int area, const AreaSettings &record);
    void storeWriteFailed();
    QString areaTitle(int area) const;

    enum AreaEdit
    {
        ParametersEdited = 1, // a selector: the six numbers are written, Points stays
        ShapeEdited = 2,      // a vertex, a new shape or a delete: the whole area
    };
    static constexpr int kNoMovedVertex = -1;

    void setupScene();
    // The Edit and View menus' zone tools, the keys on the view (zonenavigation.cpp).
    void connectTools();
    bool eventFilter(QObject *watched, QEvent *event) override;
    void applyHandleScale(qreal pixelsPerUnit);
    void showMeasurement(const QPointF &from, const QPointF &to);
    bool editingAllowed() const;
    // The page's widgets and the Edit menu's steps (zoneeditorwiring.cpp).
    void connectPage();
    void updateEditMenu();
    void loadChannel(int channel);
    QVector<QPoint> storedPointsOf(int area) const;
    void layEditsOver(ZoneChannelRecord *areas, ZoneStoreFile::ChannelKeys *keys) const;
    void markAreaEdited(int area, int what);

    // Outlines and handles (zoneeditor.cpp). movedVertex: the vertex the user just moved,
    // or kNoMovedVertex for a redraw of the record as it is, which moves nothing.
    void rebuildOutline(int movedVertex);
    void startNewShape();
    void placeHandles();
    void placeHandle(int index, const QPointF &vertex);
    void placeShapeHandles(int count);
    void resetHandles();
    void setHandlesVisible(bool visible);

    // The point table (zonetable.cpp).
    void fillTable();
    void refreshRow(int row);
    void setRowCells(int row, const QPointF &vertex);
    bool isAddRow(int row) const;
    bool readCellMm(int row, int column, int *mm, QString *refusal) const;
    void refuseCellEdit(int row, const QString &reason);
    void updatePolygonRow(int k, const QPointF &vertex);

    // Selectors and buttons (zoneworkflow.cpp).
    void checkShapeButton(int regionType);
    void showAreaSelectors();

    Ui::MainWindow *form;
    QWidget *window;
    QStatusBar *statusBar;
    ZoneStoreFile *store;

    QStandardItemModel *model = nullptr;
    ScanPointLayer *scanPoints = nullptr;
    QVector<RectangleItem *> vertexHandles;
    QVector<PathItem *> zoneItems;
    QGraphicsPathItem *gridItem = nullptr;
    QGraphicsEllipseItem *fieldOfViewItem = nullptr;
    QVector<QGraphicsPathItem *> comparedItems;
    int comparedChannel = -1;
    const qreal handleOffsetX = 5.0;
    const qreal handleOffsetY = 5.0;

    QVector<AreaSettings> areaSettings = QVector<AreaSettings>(3);
    // What the user changed in each area since the channel was taken from the set.
    QVector<int> areaEdits = QVector<int>(3, 0);
    int currentChannel = 0;
    int currentArea = 0;  // the edited area
    int selectedArea = 0; // the area the user last picked (selector or outline click)
    int backwardDeleteIndex = 2;
    bool tableTouched = false;
    // The reason for the last refused cell edit while the status bar still shows it.
    QString cellRefusal;

    QUndoStack *history = nullptr;
    bool applyingStep = false; // a step is put back: what that does is no new step
    bool dragging = false;
    int dragSerial = 0;

    std::optional<AreaSettings> copiedArea;
    std::function<QString()> channelListProvider;
    QLabel *cursorLabel = nullptr;
    int snapGrid = 50;
    bool snapping = false;
    // The arrow presses that make one step: its serial and the history index after it.
    int keySeriesSerial = 0;
    int keySeriesVertex = -1;
    int keySeriesIndex = -1;
};
