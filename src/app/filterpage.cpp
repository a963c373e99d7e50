#include "mainwindow.h"

#include "ui_mainwindow.h"

#include <QMessageBox>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QTimer>

#include <utility>

namespace {
QString flag(int state)
{
    return state != 0 ? QStringLiteral("1") : QStringLiteral("0");
}
QString decimal(int value)
{
    return QStringLiteral("%1").arg(value);
}

// One control of the page and the set request it sends; its read request is the code
// below it.
struct FilterControl
{
    RequestType set;
    QCheckBox *box;  // a flag, or
    QSlider *slider; // a number, with
    QLabel *label;   // its value label and
    QLabel *caption; // its caption
    bool halfDegrees;
};

QVector<FilterControl> filterControls(Ui::MainWindow *f)
{
    return {
        {REQUEST_SET_FILTER_ENABLE, f->filterEnableCheckBox, nullptr, nullptr, nullptr, false},
        {REQUEST_SET_AVERAGE_FILTER, f->averageFilterCheckBox, nullptr, nullptr, nullptr, false},
        {REQUEST_SET_INPUT_NONC, f->inputNoncCheckBox, nullptr, nullptr, nullptr, false},
        {REQUEST_SET_OUTPUT_NONC, f->outputNoncCheckBox, nullptr, nullptr, nullptr, false},
        {REQUEST_SET_FILTER_STRENGTH, nullptr, f->filterStrenthSlider, f->filterStrenthLabel,
         f->label_41, false},
        {REQUEST_SET_FILTER_MIN_RANGE, nullptr, f->filterMinRangeSlider, f->filterMinRangeLabel,
         f->label_42, false},
        {REQUEST_SET_FILTER_MAX_RANGE, nullptr, f->filterMaxRangeSlider, f->filterMaxRangeLabel,
         f->label_43, false},
        {REQUEST_SET_MASK_INTENSITY, nullptr, f->maskIntensitySlider, f->maskIntensityLabel,
         f->label_44, false},
        {REQUEST_SET_MASK_MIN_ANGLE, nullptr, f->maskMinAngleSlider, f->maskMinAngleLabel,
         f->label_45, true},
        {REQUEST_SET_MASK_MAX_ANGLE, nullptr, f->maskMaxAngleSlider, f->maskMaxAngleLabel,
         f->label_46, true},
    };
}
} // namespace

void MainWindow::setupFilterPage()
{
    connect(form->filterEnableCheckBox, &QCheckBox::stateChanged, this,
            &MainWindow::onFiterStateChanged);
    connect(form->averageFilterCheckBox, &QCheckBox::stateChanged, this,
            &MainWindow::onAverageFiterStateChanged);
    connect(form->inputNoncCheckBox, &QCheckBox::stateChanged, this,
            &MainWindow::onInputNoncStateChanged);
    connect(form->outputNoncCheckBox, &QCheckBox::stateChanged, this,
            &MainWindow::onOutputNoncStateChanged);
    connect(form->filterStrenthSlider, &QSlider::valueChanged, this,
            &MainWindow::onFilterStrenthSliderValueChanged);
    connect(form->filterMinRangeSlider, &QSlider::valueChanged, this,
            &MainWindow::onFilterMinRangeSliderValueChanged);
    connect(form->filterMaxRangeSlider, &QSlider::valueChanged, this,
            &MainWindow::onFilterMaxRangeSliderValueChanged);
    connect(form->maskIntensitySlider, &QSlider::valueChanged, this,
            &MainWindow::onSetMaskIntensitySliderValueChanged);
    connect(form->maskMinAngleSlider, &QSlider::valueChanged, this,
            &MainWindow::onSetMaskMinAngleSliderValueChanged);
    connect(form->maskMaxAngleSlider, &QSlider::valueChanged, this,
            &MainWindow::onSetMaskMaxAngleSliderValueChanged);

    connect(form->filterOkBtn, &QPushButton::clicked,
            [this]() { emit sendRequestType(REQUEST_SAVE_PARAMETERS, QString()); });
    connect(form->filterCancelBtn, &QPushButton::clicked, [this]() { restoreFilterSnapshot(); });
}

// Puts every control back to the committed value. Each restore that changes a control
// sends its set request, so only the settings that differ are sent again, spaced out so
// that the scanner receives them one at a time. The window is the timers' context: a
// window closed within the schedule is never touched by it.
void MainWindow::restoreFilterSnapshot()
{
    const auto at = [this](int ms, auto restore) {
        QTimer::singleShot(ms, this, [this, restore]() {
            const QScopedValueRollback<bool> committed(applyingFilterValues, true);
            restore();
        });
    };
    at(100, [this]() { form->filterStrenthSlider->setValue(filterStrength.toInt()); });
    at(200, [this]() { form->filterMinRangeSlider->setValue(filterMinRange.toInt()); });
    at(300, [this]() { form->filterMaxRangeSlider->setValue(filterMaxRange.toInt()); });
    at(350, [this]() { form->filterEnableCheckBox->setChecked(filterEnabled); });
    at(400, [this]() { form->averageFilterCheckBox->setChecked(averageFilterEnabled); });
    at(450, [this]() { form->inputNoncCheckBox->setChecked(inputNormallyClosed); });
    at(500, [this]() { form->outputNoncCheckBox->setChecked(outputNormallyClosed); });
    at(550, [this]() { form->maskIntensitySlider->setValue(maskIntensity); });
    at(600, [this]() { form->maskMinAngleSlider->setValue(maskMinAngle); });
    at(650, [this]() { form->maskMaxAngleSlider->setValue(maskMaxAngle); });
}

QStringList MainWindow::filterSnapshot() const
{
    return {filterStrength,
            filterMinRange,
            filterMaxRange,
            decimal(filterEnabled),
            decimal(averageFilterEnabled),
            decimal(inputNormallyClosed),
            decimal(outputNormallyClosed),
            decimal(maskIntensity),
            decimal(maskMinAngle),
            decimal(maskMaxAngle)};
}

void MainWindow::onFiterStateChanged(int state)
{
    emit sendRequestType(REQUEST_SET_FILTER_ENABLE, flag(state));
}

void MainWindow::onAverageFiterStateChanged(int state)
{
    emit sendRequestType(REQUEST_SET_AVERAGE_FILTER, flag(state));
}

void MainWindow::onInputNoncStateChanged(int state)
{
    emit sendRequestType(REQUEST_SET_INPUT_NONC, flag(state));
}

void MainWindow::onOutputNoncStateChanged(int state)
{
    emit sendRequestType(REQUEST_SET_OUTPUT_NONC, flag(state));
}

void MainWindow::onFilterStrenthSliderValueChanged(int value)
{
    form->filterStrenthLabel->setText(decimal(value));
    emit sendRequestType(REQUEST_SET_FILTER_STRENGTH, decimal(value));
}

void MainWindow::onFilterMinRangeSliderValueChanged(int value)
{
    if (filterRangeRefused(form->filterMinRangeSlider, form->filterMinRangeLabel, value,
                           form->filterMaxRangeSlider->value()))
        return;
    form->filterMinRangeLabel->setText(decimal(value));
    emit sendRequestType(REQUEST_SET_FILTER_MIN_RANGE, decimal(value));
}

void MainWindow::onFilterMaxRangeSliderValueChanged(int value)
{
    if (filterRangeRefused(form->filterMaxRangeSlider, form->filterMaxRangeLabel,
                           form->filterMinRangeSlider->value(), value))
        return;
    form->filterMaxRangeLabel->setText(decimal(value));
    emit sendRequestType(REQUEST_SET_FILTER_MAX_RANGE, decimal(value));
}

void MainWindow::onSetMaskIntensitySliderValueChanged(int value)
{
    form->maskIntensityLabel->setText(decimal(value));
    emit sendRequestType(REQUEST_SET_MASK_INTENSITY, decimal(value));
}

void MainWindow::onSetMaskMinAngleSliderValueChanged(int value)
{
    form->maskMinAngleLabel->setText(QString::number(value * 0.5, 'f', 1));
    emit sendRequestType(REQUEST_SET_MASK_MIN_ANGLE, decimal(value));
}

void MainWindow::onSetMaskMaxAngleSliderValueChanged(int value)
{
    form->maskMaxAngleLabel->setText(QString::number(value * 0.5, 'f', 1));
    emit sendRequestType(REQUEST_SET_MASK_MAX_ANGLE, decimal(value));
}

// The shadow filter works between its minimum and maximum range. A move of the user's
// that would put the minimum above the maximum is not sent: the slider goes back to the
// value it last sent (its label shows it) and the status bar says why. What the scanner
// reports, and the committed values Cancel restores, are taken as they come.
bool MainWindow::filterRangeRefused(QSlider *moved, QLabel *label, int minRange, int maxRange)
{
    if (applyingFilterValues || minRange <= maxRange)
        return false;
    const QSignalBlocker quiet(moved);
    moved->setValue(label->text().toInt());
    statusBar()->showMessage(
        tr("拖尾滤波最小距离%1不能大于最大距离%2，未发送该设置").arg(minRange).arg(maxRange));
    return true;
}

QString MainWindow::filterSettingName(RequestType setType) const
{
    for (const FilterControl &c : filterControls(form))
        if (c.set == setType)
            return c.box ? c.box->text() : c.caption->text();
    return QString();
}

// The scanner kept its own value: the control must not go on showing the refused one, and
// OK must not report it saved. The scanner is asked what it kept.
void MainWindow::onSettingRefused(RequestType type, int status)
{
    const QString name = filterSettingName(type);
    if (name.isEmpty())
        return; // not a setting of this page
    if (!refusedFilterSettings.contains(name))
        refusedFilterSettings.append(name);
    statusBar()->showMessage(
        tr("扫描仪拒绝了设置“%1”（状态%2），控件改为显示扫描仪保留的值").arg(name).arg(status));
    const RequestType read = RequestType(type - 1);
    filterRereads.insert(read);
    emit sendRequestType(read, QString());
}

// The answer to a read asked after a refusal puts its control back to the scanner's value
// without sending it again; the committed value stays what it was. False for any other
// result, which the results handler takes as usual.
bool MainWindow::showRereadFilterValue(RequestType type, const QString &value)
{
    if (!filterRereads.remove(type))
        return false;
    const int number = value.toInt();
    for (const FilterControl &c : filterControls(form)) {
        if (c.set - 1 != type)
            continue;
        if (c.box) {
            const QSignalBlocker quiet(c.box);
            c.box->setChecked(number != 0);
        } else {
            const QSignalBlocker quiet(c.slider);
            c.slider->setValue(number);
            c.label->setText(c.halfDegrees ? QString::number(number * 0.5, 'f', 1)
                                           : decimal(number));
        }
    }
    if (filterRereads.isEmpty() && snapshotAfterRereads) {
        snapshotAfterRereads = false;
        takeFilterSnapshot();
    }
    return true;
}

// The scanner's answer to OK. Only what it accepted becomes the committed value: a
// refused save commits nothing, and a refused setting is named rather than reported saved.
void MainWindow::onParametersSaved(int status)
{
    if (status != 0) {
        QMessageBox::critical(nullptr, tr("提示"),
                              tr("扫描仪拒绝保存参数（状态%1），参数未保存").arg(status),
                              QMessageBox::Ok);
        return;
    }
    const QStringList refused = std::exchange(refusedFilterSettings, {});
    if (!refused.isEmpty())
        QMessageBox::warning(nullptr, tr("提示"),
                             tr("扫描仪拒绝了设置：%1；其余参数已保存").arg(refused.join(tr("、"))),
                             QMessageBox::Ok);
    else if (!factoryResetInProgress)
        QMessageBox::information(nullptr, QStringLiteral("Inofomation"), tr("参数保存成功"),
                                 QMessageBox::Ok);
    if (factoryResetInProgress)
        return;
    // A control whose refusal is still being read back shows a value the scanner does not
    // hold: the snapshot waits for the scanner's answer.
    if (filterRereads.isEmpty())
        takeFilterSnapshot();
    else
        snapshotAfterRereads = true;
}
