// The window's described slots. Each hands its call to the owner that does the work; the
// owners connect their widgets themselves, so these are the window's entry points for
// whoever calls them by name.
#include "mainwindow.h"

#include "devicepanel.h"
#include "factoryreset.h"
#include "filterpanel.h"
#include "firmwarepanel.h"
#include "firmwareupdate.h"
#include "rectangleitem.h"
#include "scannersession.h"
#include "scanzones.h"
#include "serialpanel.h"
#include "statuspanel.h"
#include "zoneeditor.h"
#include "zonefiles.h"
#include "zonetransfer.h"

void MainWindow::onRefreshBtn()
{
    serial->refresh();
}

void MainWindow::onOpenBtn()
{
    serial->openOrClose();
}

void MainWindow::onErrorOccurred(QSerialPort::SerialPortError error)
{
    // The port reports its closing while the window is torn down, after the panel is gone.
    if (serial)
        serial->logPortError(error);
}

void MainWindow::onReconnectTimer()
{
    session->firmware()->reconnectTick();
}

void MainWindow::onSaveBtn()
{
    device->saveFrequency();
}

void MainWindow::onRecvRequestResult(RequestType type, QString value)
{
    if (!filters->takeResult(type, value))
        device->takeResult(type, value);
}

void MainWindow::onRecvState(uchar err, uchar output, uchar input)
{
    Q_UNUSED(err)
    status->showState(output, input);
}

void MainWindow::onRecvAndShowPoint(QVector<float> angleVec, QVector<ushort> rangeVec,
                                    QVector<ushort> intensityVec)
{
    editor->showScan(angleVec, rangeVec, intensityVec);
    scans->keepScan(angleVec, rangeVec);
}

void MainWindow::onSelectFirmwareBtn()
{
    firmware->chooseFile();
}

void MainWindow::onUpdateFirmwareBtn()
{
    firmware->startUpdate();
}

void MainWindow::onWriteFirmwareDataProgress(int index, int total)
{
    firmware->logProgress(index, total);
}

void MainWindow::onFactorySettingsBtn()
{
    factory->restore();
}

void MainWindow::onChannelCurrentIndexChanged(int index)
{
    editor->showChannel(index);
}

void MainWindow::onAreasCurrentIndexChanged(int index)
{
    editor->selectArea(index);
}

void MainWindow::onParametorChange(int index)
{
    editor->setParameter(sender(), index);
}

void MainWindow::onModelItemChanged(QStandardItem *item)
{
    editor->takeCell(item);
}

void MainWindow::onShapeBtn()
{
    editor->chooseShape(sender());
}

void MainWindow::onRectangleItemPos(QPointF pos)
{
    editor->moveHandle(qobject_cast<RectangleItem *>(sender()), pos);
}

void MainWindow::onRecvPathId(int id)
{
    editor->selectOutline(id);
}

void MainWindow::onMouseMovePoint(QPoint point)
{
    editor->showCursor(point);
}

void MainWindow::onFocusItemChanged(QGraphicsItem *newFocusItem, QGraphicsItem *oldFocusItem)
{
    Q_UNUSED(oldFocusItem)
    editor->focusChanged(newFocusItem);
}

void MainWindow::onDownloadBtn()
{
    transfer->readEditedChannel();
}

void MainWindow::onUploadBtn()
{
    transfer->upload();
}

void MainWindow::onReadCurArea(int index)
{
    transfer->showReadProgress(index);
}

void MainWindow::onWriteCurArea(int index)
{
    transfer->showWriteProgress(index);
}

void MainWindow::onSaveSettingsBtn()
{
    files->saveToChosenFile();
}

void MainWindow::onLoadSettingsBtn()
{
    files->loadChosenFile();
}

void MainWindow::onFiterStateChanged(int state)
{
    filters->onControlChanged(REQUEST_SET_FILTER_ENABLE, state);
}

void MainWindow::onAverageFiterStateChanged(int state)
{
    filters->onControlChanged(REQUEST_SET_AVERAGE_FILTER, state);
}

void MainWindow::onInputNoncStateChanged(int state)
{
    filters->onControlChanged(REQUEST_SET_INPUT_NONC, state);
}

void MainWindow::onOutputNoncStateChanged(int state)
{
    filters->onControlChanged(REQUEST_SET_OUTPUT_NONC, state);
}

void MainWindow::onFilterStrenthSliderValueChanged(int value)
{
    filters->onControlChanged(REQUEST_SET_FILTER_STRENGTH, value);
}

void MainWindow::onFilterMinRangeSliderValueChanged(int value)
{
    filters->onControlChanged(REQUEST_SET_FILTER_MIN_RANGE, value);
}

void MainWindow::onFilterMaxRangeSliderValueChanged(int value)
{
    filters->onControlChanged(REQUEST_SET_FILTER_MAX_RANGE, value);
}

void MainWindow::onSetMaskIntensitySliderValueChanged(int value)
{
    filters->onControlChanged(REQUEST_SET_MASK_INTENSITY, value);
}

void MainWindow::onSetMaskMinAngleSliderValueChanged(int value)
{
    filters->onControlChanged(REQUEST_SET_MASK_MIN_ANGLE, value);
}

void MainWindow::onSetMaskMaxAngleSliderValueChanged(int value)
{
    filters->onControlChanged(REQUEST_SET_MASK_MAX_ANGLE, value);
}
