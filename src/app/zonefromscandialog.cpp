#include "zonefromscandialog.h"

#include "windowtexts.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QSpinBox>

#include <algorithm>

namespace {

QSpinBox *spinBox(const char *name, int lowest, int highest, int value, const QString &suffix)
{
    auto *box = new QSpinBox;
    box->setObjectName(QLatin1String(name));
    box->setRange(lowest, highest);
    box->setValue(std::clamp(value, lowest, highest));
    box->setSuffix(suffix);
    return box;
}

} // namespace

ZoneFromScanDialog::ZoneFromScanDialog(const ZoneFromScanChoice &initial, int maxScans,
                                       QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(windowTr("由扫描生成区域"));
    const QString mm = QStringLiteral(" mm");
    scans = spinBox("scanCountSpinBox", 1, std::max(1, maxScans), initial.scans, QString());
    margin = spinBox("marginSpinBox", 0, 2000, initial.margin, mm);
    tolerance = spinBox("toleranceSpinBox", 0, 500, initial.tolerance, mm);

    auto *form = new QFormLayout;
    form->addRow(windowTr("扫描次数"), scans);
    form->addRow(windowTr("余量"), margin);
    form->addRow(windowTr("容差"), tolerance);
    auto *hint =
        new QLabel(windowTr("每个方向取这些扫描中最近的回波，区域与每个回波至少保持余量的距离；"
                            "25次扫描约为一秒"));
    hint->setWordWrap(true);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(hint);
    layout->addWidget(buttons);
}

ZoneFromScanChoice ZoneFromScanDialog::choice() const
{
    ZoneFromScanChoice c;
    c.scans = scans->value();
    c.margin = margin->value();
    c.tolerance = tolerance->value();
    return c;
}

bool ZoneFromScanDialog::ask(QWidget *parent, int maxScans, ZoneFromScanChoice *choice)
{
    ZoneFromScanDialog dialog(*choice, maxScans, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    *choice = dialog.choice();
    return true;
}
