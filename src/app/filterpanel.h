#pragma once

#include "requesttype.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <optional>

class QCheckBox;
class QLabel;
class QSettings;
class QSlider;
class QStatusBar;
struct FilterSetting;

namespace Ui {
class MainWindow;
}

// The filter group of the running-status page. Each of its ten controls is bound to its
// setting of the shared filter table and sends that setting whenever its value changes.
// The panel keeps the committed values (last read from the scanner, saved with OK or
// taken from the factory file) that Cancel puts back, and the settings the scanner
// refused since the last save.
class FilterPanel : public QObject
{
    Q_OBJECT

public:
    // factoryResetRunning tells whether a save answer belongs to a factory reset, which
    // reports nothing and commits nothing of its own.
    FilterPanel(Ui::MainWindow *form, QStatusBar *statusBar,
                std::function<bool()> factoryResetRunning, QObject *parent = nullptr);

    // A control of the setting whose set request is given took a new state or value: its
    // label shows it and the setting is sent, unless it would put the shadow filter's
    // minimum range above its maximum.
    void onControlChanged(RequestType set, int value);
    // The scanner's answer to a read of one of the ten settings or to a save; false for a
    // result of another page.
    bool takeResult(RequestType type, const QString &value);
    void onSettingRefused(RequestType type, int status);
    // The link is gone, and with it what the scanner refused on it.
    void forgetRefusals();

    // Puts every control back to its committed value. A control that changes sends its
    // setting, spaced out so that the scanner receives them one at a time.
    void restoreCommitted();
    // The factory file's ten values become the committed ones; restoreCommitted applies them.
    void takeFactoryValues(const QSettings &factory);
    // The committed values as texts, in the order Cancel restores them.
    QStringList committedValues() const;
    // The committed values on the wire, in the order of the shared filter table; none for
    // a setting not yet read or taken from a file.
    QVector<std::optional<int>> committedSettings() const;

signals:
    void sendRequestType(RequestType type, QString value);

private:
    struct Binding
    {
        const FilterSetting *setting;
        QCheckBox *box;  // a flag, or
        QSlider *slider; // a number, with
        QLabel *label;   // its value label and
        QLabel *caption; // its caption
        int restoreMs;   // when Cancel puts it back
        QString committed;
    };

    Binding *bindingOf(RequestType request);
    int controlValue(const Binding &b) const;
    void showValue(Binding &b, int wire, const QString &labelText);
    bool rangeRefused(Binding &moved, int value);
    void onParametersSaved(int status);
    void commitControls();

    QVector<Binding> bindings;
    QStatusBar *statusBar;
    std::function<bool()> factoryResetRunning;
    // Names of the settings the scanner refused since the last save; the reads asked for
    // after a refusal; a commit that waits for their answers; set while the panel itself
    // moves the controls (scanner values, Cancel), not the user.
    QStringList refusedSettings;
    QSet<int> rereads;
    bool commitAfterRereads = false;
    bool applyingValues = false;
};
