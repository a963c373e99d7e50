#pragma once

#include <QGraphicsView>
#include <QTimer>

// The first show of a view of the scanner's field (the live scan view, the zone editor's
// view): the modes the view works in, mouse tracking for the cursor read-out, and the fit
// of the 20 m square around the scanner. done is one flag per kind of view for the whole
// process: later shows, of this view or another of its kind, keep the user's zoom and pan.
template <class View> void fitOnFirstShow(View *view, bool *done)
{
    if (*done)
        return;
    view->setViewportUpdateMode(QGraphicsView::FullViewportUpdate);
    view->setTransformationAnchor(QGraphicsView::NoAnchor);
    view->setResizeAnchor(QGraphicsView::AnchorViewCenter);
    view->setAttribute(Qt::WA_MouseTracking, true);
    view->resetView();
    // The layout may still resize the view after its first show; fit once more when it
    // has settled, so the whole square is in view from the start.
    QTimer::singleShot(0, view, &View::resetView);
    *done = true;
}
