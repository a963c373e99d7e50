#include "windowmodes.h"

#include "ui_mainwindow.h"

#include <QAction>
#include <QWidget>

namespace {
using W = WindowModes;
constexpr W::Use Off = W::Off;
constexpr W::Use On = W::On;
constexpr W::Use Own = W::Own;

// One row per mode. The window disabled takes every control with it; its row still says
// what the controls are once it is enabled again, so no mode inherits another's leftovers.
// Own: OpenPort while a port is listed, Navigation once the zone page was usable (the tree
// stays usable from then on), Undo and Redo while the history has a step, FirmwareUpdate
// once a file is chosen, Report while no report is being written.
// clang-format off
const W::Row kModes[] = {
//                             Win  Nav  Port Open Offl Zone Xfer Undo Redo Filt Fact FwCh FwUp Rec  Rep  Cmp
    {WindowMode::Disconnected,     {On,  Own, On,  Own, On,  Off, Off, Off, Off, Off, Off, On,  Own, Off, Own, Off}, W::NoProgress},
    {WindowMode::Offline,          {On,  On,  On,  Own, On,  On,  Off, Own, Own, Off, Off, On,  Own, Off, Own, Off}, W::NoProgress},
    {WindowMode::Connecting,       {On,  Own, On,  On,  Off, Off, Off, Off, Off, Off, Off, On,  Own, Off, Own, Off}, W::NoProgress},
    {WindowMode::Connected,        {On,  Own, Off, On,  Off, Off, Off, Off, Off, Off, Off, On,  Own, On,  Own, Off}, W::ReadProgress},
    {WindowMode::Reading,          {Off, Own, Off, On,  Off, Off, Off, Off, Off, Off, Off, On,  Own, On,  Own, Off}, W::ReadProgress},
    {WindowMode::Ready,            {On,  On,  Off, On,  Off, On,  On,  Own, Own, On,  On,  On,  Own, On,  Own, On }, W::NoProgress},
    {WindowMode::NoZones,          {On,  On,  Off, On,  Off, Off, Off, Off, Off, On,  Off, On,  Own, On,  Own, Off}, W::NoProgress},
    {WindowMode::Writing,          {Off, On,  Off, On,  Off, Off, Off, Off, Off, Off, Off, On,  Own, On,  Own, Off}, W::UploadProgress},
    {WindowMode::RestoringFactory, {Off, On,  Off, On,  Off, Off, Off, Off, Off, Off, Off, On,  Own, On,  Own, Off}, W::FactoryProgress},
    {WindowMode::Comparing,        {Off, On,  Off, On,  Off, Off, Off, Off, Off, Off, Off, On,  Own, On,  Own, Off}, W::ReadProgress},
    {WindowMode::UpdatingFirmware, {On,  Own, Off, On,  Off, Off, Off, Off, Off, Off, Off, Off, Off, On,  Own, Off}, W::NoProgress},
};
// clang-format on
} // namespace

const WindowModes::Row &WindowModes::row(WindowMode mode)
{
    for (const Row &r : kModes)
        if (r.mode == mode)
            return r;
    Q_UNREACHABLE();
    return kModes[0];
}

WindowModes::WindowModes(Ui::MainWindow *f, QWidget *window, QObject *parent)
    : QObject(parent), form(f)
{
    bound[Window] = {window};
    bound[Navigation] = {f->treeWidget};
    bound[PortChoice] = {f->portName, f->baudRate};
    bound[OpenPort] = {f->openBtn};
    bound[WorkOffline] = {f->actionWorkOffline};
    // The zone edits of the Edit menu go with the zone page.
    bound[ZonePage] = {f->areasMonitoningGroupBox, f->actionCopyArea, f->actionPasteArea,
                       f->actionCopyChannelTo, f->actionMirrorArea};
    bound[ScannerZones] = {f->downLoadBtn, f->uploadBtn};
    bound[Undo] = {f->actionUndo};
    bound[Redo] = {f->actionRedo};
    bound[Filters] = {f->filterGroupBox};
    bound[FactoryReset] = {f->factorySettingsBtn};
    bound[FirmwareChoice] = {f->selectFirmwareBtn};
    bound[FirmwareUpdate] = {f->updateFirmwareBtn};

    const QList<QWidget *> shownOnly = {f->distanceLineEdit,        f->scanAngleLineEdit,
                                        f->scanArealineEdit,        f->deviceFrequencyLineEdit,
                                        f->angleResolutionComboBox, f->npnorpnp};
    for (QWidget *widget : shownOnly)
        widget->setEnabled(false);
    apply();
}

void WindowModes::bind(Control control, QObject *widgetOrAction)
{
    bound[control].append(widgetOrAction);
    connect(widgetOrAction, &QObject::destroyed, this,
            [this, control](QObject *gone) { bound[control].removeAll(gone); });
    apply();
}

void WindowModes::setMode(WindowMode mode)
{
    const bool changed = mode != current;
    current = mode;
    apply();
    if (changed)
        emit modeChanged(mode);
}

void WindowModes::enter(WindowMode mode)
{
    if (current != mode)
        interrupted = current;
    setMode(mode);
}

void WindowModes::leave(WindowMode mode)
{
    if (current == mode)
        setMode(interrupted);
}

void WindowModes::setOwnCondition(Control control, bool holds)
{
    if (own[control] == holds)
        return;
    own[control] = holds;
    if (row(current).use[control] == Own)
        apply();
}

bool WindowModes::isOn(Control control) const
{
    const Use use = row(current).use[control];
    return use == On || (use == Own && own[control]);
}

void WindowModes::apply()
{
    const Row &r = row(current);
    // Once the zone page could be used, the pages can be reached for good.
    if (r.use[Navigation] == On)
        own[Navigation] = true;
    for (int c = 0; c < ControlCount; ++c) {
        const bool enabled = isOn(Control(c));
        for (QObject *object : qAsConst(bound[c])) {
            if (auto *widget = qobject_cast<QWidget *>(object))
                widget->setEnabled(enabled);
            else if (auto *action = qobject_cast<QAction *>(object))
                action->setEnabled(enabled);
        }
    }
    const struct
    {
        Progress progress;
        QWidget *label;
        QProgressBar *bar;
    } rows[] = {
        {ReadProgress, form->readAreaLlabel, form->readAreaProgressBar},
        {UploadProgress, form->progressLabel, form->progressBar},
        {FactoryProgress, form->resetFactoryLabel, form->resetFactoryProgressBar},
    };
    for (const auto &p : rows) {
        const bool shown = p.progress == r.progress;
        // A bar shown again starts from nothing.
        if (!shown)
            p.bar->setValue(0);
        p.label->setVisible(shown);
        p.bar->setVisible(shown);
    }
}
