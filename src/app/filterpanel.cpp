#include "filterpanel.h"

#include "filtersettings.h"
#include "ui_mainwindow.h"
#include "windowtexts.h"

#include <QMessageBox>
#include <QScopedValueRollback>
#include <QSettings>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>
#include <utility>

FilterPanel::FilterPanel(Ui::MainWindow *f, QStatusBar *statusBar,
                         std::function<bool()> factoryResetRunning, QObject *parent)
    : QObject(parent), statusBar(statusBar), factoryResetRunning(std::move(factoryResetRunning))
{
    // In the order Cancel puts them back: the shadow filter's numbers first, then the four
    // flags, then the mask.
    const struct
    {
        RequestType set;
        QCheckBox *box;
        QSlider *slider;
        QLabel *label;
        QLabel *caption;
        int restoreMs;
    } rows[] = {
        {REQUEST_SET_FILTER_STRENGTH, nullptr, f->filterStrenthSlider, f->filterStrenthLabel,
         f->label_41, 100},
        {REQUEST_SET_FILTER_MIN_RANGE, nullptr, f->filterMinRangeSlider, f->filterMinRangeLabel,
         f->label_42, 200},
        {REQUEST_SET_FILTER_MAX_RANGE, nullptr, f->filterMaxRangeSlider, f->filterMaxRangeLabel,
         f->label_43, 300},
        {REQUEST_SET_FILTER_ENABLE, f->filterEnableCheckBox, nullptr, nullptr, nullptr, 350},
        {REQUEST_SET_AVERAGE_FILTER, f->averageFilterCheckBox, nullptr, nullptr, nullptr, 400},
        {REQUEST_SET_INPUT_NONC, f->inputNoncCheckBox, nullptr, nullptr, nullptr, 450},
        {REQUEST_SET_OUTPUT_NONC, f->outputNoncCheckBox, nullptr, nullptr, nullptr, 500},
        {REQUEST_SET_MASK_INTENSITY, nullptr, f->maskIntensitySlider, f->maskIntensityLabel,
         f->label_44, 550},
        {REQUEST_SET_MASK_MIN_ANGLE, nullptr, f->maskMinAngleSlider, f->maskMinAngleLabel,
         f->label_45, 600},
        {REQUEST_SET_MASK_MAX_ANGLE, nullptr, f->maskMaxAngleSlider, f->maskMaxAngleLabel,
         f->label_46, 650},
    };
    for (const auto &row : rows) {
        const FilterSetting *setting = filterSettingOf(row.set);
        Q_ASSERT(setting);
        // The table's range is the one the command-line tool checks against.
        if (row.slider)
            row.slider->setRange(0, setting->maximum);
        bindings.append(
            {setting, row.box, row.slider, row.label, row.caption, row.restoreMs, QString()});
        // Every change of the control, whoever makes it, sends the setting.
        const RequestType set = row.set;
        if (row.box)
            connect(row.box, &QCheckBox::stateChanged, this,
                    [this, set](int state) { onControlChanged(set, state); });
        else
            connect(row.slider, &QSlider::valueChanged, this,
                    [this, set](int value) { onControlChanged(set, value); });
    }

    connect(f->filterOkBtn, &QPushButton::clicked, this,
            [this]() { emit sendRequestType(REQUEST_SAVE_PARAMETERS, QString()); });
    connect(f->filterCancelBtn, &QPushButton::clicked, this, &FilterPanel::restoreCommitted);
}

FilterPanel::Binding *FilterPanel::bindingOf(RequestType request)
{
    for (Binding &b : bindings)
        if (b.setting->set == request || b.setting->get == request)
            return &b;
    return nullptr;
}

int FilterPanel::controlValue(const Binding &b) const
{
    return b.box ? int(b.box->isChecked()) : b.slider->value();
}

void FilterPanel::onControlChanged(RequestType set, int value)
{
    Binding *b = bindingOf(set);
    if (!b)
        return;
    if (b->slider) {
        if (rangeRefused(*b, value))
            return;
        b->label->setText(settingText(*b->setting, value));
    }
    emit sendRequestType(set, settingRequestText(*b->setting, value));
}

// The shadow filter works between its minimum and maximum range. A move of the user's
// that would put the minimum above the maximum is not sent: the slider goes back to the
// value it last sent (its label shows it) and the status bar says why. What the scanner
// reports, and the committed values Cancel restores, are taken as they come.
bool FilterPanel::rangeRefused(Binding &moved, int value)
{
    if (applyingValues)
        return false;
    int minRange = 0;
    int maxRange = 0;
    if (moved.setting->set == REQUEST_SET_FILTER_MIN_RANGE) {
        minRange = value;
        maxRange = controlValue(*bindingOf(REQUEST_SET_FILTER_MAX_RANGE));
    } else if (moved.setting->set == REQUEST_SET_FILTER_MAX_RANGE) {
        minRange = controlValue(*bindingOf(REQUEST_SET_FILTER_MIN_RANGE));
        maxRange = value;
    } else {
        return false;
    }
    if (minRange <= maxRange)
        return false;
    const QSignalBlocker quiet(moved.slider);
    moved.slider->setValue(moved.label->text().toInt());
    statusBar->showMessage(
        windowTr("拖尾滤波最小距离%1不能大于最大距离%2，未发送该设置").arg(minRange).arg(maxRange));
    return true;
}

// The window's timers are owned by the panel: a window closed within the schedule is
// never touched by it.
void FilterPanel::restoreCommitted()
{
    for (const Binding &binding : qAsConst(bindings)) {
        QTimer::singleShot(binding.restoreMs, this, [this, set = binding.setting->set]() {
            const QScopedValueRollback<bool> committed(applyingValues, true);
            const Binding &b = *bindingOf(set);
            const int wire = committedWire(*b.setting, b.committed);
            if (b.box)
                b.box->setChecked(wire != 0);
            else
                b.slider->setValue(wire);
        });
    }
}

void FilterPanel::takeFactoryValues(const QSettings &factory)
{
    for (Binding &b : bindings)
        b.committed =
            committedFromFactory(*b.setting, factory.value(QLatin1String(b.setting->factoryKey)));
}

QStringList FilterPanel::committedValues() const
{
    QStringList values;
    for (const Binding &b : bindings)
        values << b.committed;
    return values;
}

QVector<std::optional<int>> FilterPanel::committedSettings() const
{
    QVector<std::optional<int>> values;
    for (const FilterSetting &s : filterSettings()) {
        const auto b = std::find_if(bindings.cbegin(), bindings.cend(),
                                    [&s](const Binding &b) { return b.setting->set == s.set; });
        if (b == bindings.cend() || b->committed.isEmpty())
            values.append(std::nullopt);
        else
            values.append(committedWire(s, b->committed));
    }
    return values;
}

void FilterPanel::showValue(Binding &b, int wire, const QString &labelText)
{
    if (b.box) {
        b.box->setCheckState(wire != 0 ? Qt::Checked : Qt::Unchecked);
    } else {
        b.label->setText(labelText);
        b.slider->setValue(wire);
    }
}

bool FilterPanel::takeResult(RequestType type, const QString &value)
{
    if (type == REQUEST_SAVE_PARAMETERS) {
        onParametersSaved(value.toInt());
        return true;
    }
    Binding *b = bindingOf(type);
    if (!b || b->setting->get != type)
        return false;
    // Controls moved from here show the scanner's values, not the user's moves.
    const QScopedValueRollback<bool> fromScanner(applyingValues, true);
    const FilterSetting &s = *b->setting;
    // The answer to a read asked after a refusal puts its control back to the scanner's
    // value without sending it again; the committed value stays what it was.
    if (rereads.remove(type)) {
        const int number = value.toInt();
        {
            const QSignalBlocker quietBox(b->box);
            const QSignalBlocker quietSlider(b->slider);
            showValue(*b, number, settingText(s, number));
        }
        if (rereads.isEmpty() && commitAfterRereads) {
            commitAfterRereads = false;
            commitControls();
        }
        return true;
    }
    b->committed = committedFromReply(s, value);
    const int wire = committedWire(s, b->committed);
    // A number's label shows the reply as it came; an angle's shows degrees.
    showValue(*b, wire, s.kind == FilterSetting::HalfDegrees ? settingText(s, wire) : value);
    return true;
}

// The scanner kept its own value: the control must not go on showing the refused one, and
// OK must not report it saved. The scanner is asked what it kept.
void FilterPanel::onSettingRefused(RequestType type, int status)
{
    Binding *b = bindingOf(type);
    if (!b || b->setting->set != type)
        return; // not a setting of this page
    const QString name = b->box ? b->box->text() : b->caption->text();
    if (!refusedSettings.contains(name))
        refusedSettings.append(name);
    statusBar->showMessage(windowTr("扫描仪拒绝了设置“%1”（状态%2），控件改为显示扫描仪保留的值")
                               .arg(name)
                               .arg(status));
    rereads.insert(b->setting->get);
    emit sendRequestType(b->setting->get, QString());
}

void FilterPanel::forgetRefusals()
{
    refusedSettings.clear();
    rereads.clear();
    commitAfterRereads = false;
}

// The scanner's answer to OK. Only what it accepted becomes the committed value: a
// refused save commits nothing, and a refused setting is named rather than reported saved.
void FilterPanel::onParametersSaved(int status)
{
    if (status != 0) {
        QMessageBox::critical(nullptr, windowTr("提示"),
                              windowTr("扫描仪拒绝保存参数（状态%1），参数未保存").arg(status),
                              QMessageBox::Ok);
        return;
    }
    const bool factoryReset = factoryResetRunning && factoryResetRunning();
    const QStringList refused = std::exchange(refusedSettings, {});
    if (!refused.isEmpty())
        QMessageBox::warning(
            nullptr, windowTr("提示"),
            windowTr("扫描仪拒绝了设置：%1；其余参数已保存").arg(refused.join(windowTr("、"))),
            QMessageBox::Ok);
    else if (!factoryReset)
        QMessageBox::information(nullptr, QStringLiteral("Inofomation"), windowTr("参数保存成功"),
                                 QMessageBox::Ok);
    if (factoryReset)
        return;
    // A control whose refusal is still being read back shows a value the scanner does not
    // hold: the commit waits for the scanner's answer.
    if (rereads.isEmpty())
        commitControls();
    else
        commitAfterRereads = true;
}

void FilterPanel::commitControls()
{
    for (Binding &b : bindings)
        b.committed = committedFromWire(*b.setting, controlValue(b));
}
