#pragma once

// What the form's tests share: the form set up on a bare main window for each test, the
// English catalogue on demand, and what a widget of the form must look like.
#include "laserscanview.h"
#include "lgraphicsview.h"
#include "testsupport.h"
#include "ui_mainwindow.h"

#include <QFile>
#include <QMainWindow>
#include <QTranslator>
#include <QXmlStreamReader>
#include <QtWidgets>

namespace formtest {

// What one widget of the form must look like. Unset members are not checked.
struct ExpectedWidget
{
    QString name;
    QByteArray className;
    QString container; // an ancestor the widget must sit in
    QString text;      // text, title or line-edit contents; null: not checked
    QStringList items; // checked for combo boxes
    int minimum = 0;   // range of sliders and progress bars
    int maximum = -1;
    bool enabled = true;
    bool readOnly = false;
    QSize minSize;
    QSize maxSize;

    ExpectedWidget &withText(const QString &t)
    {
        text = t;
        return *this;
    }
    ExpectedWidget &withItems(const QStringList &l)
    {
        items = l;
        return *this;
    }
    ExpectedWidget &withRange(int min, int max)
    {
        minimum = min;
        maximum = max;
        return *this;
    }
    ExpectedWidget &disabled()
    {
        enabled = false;
        return *this;
    }
    ExpectedWidget &readOnlyField()
    {
        readOnly = true;
        return *this;
    }
    ExpectedWidget &sizes(QSize min, QSize max = QSize())
    {
        minSize = min;
        maxSize = max;
        return *this;
    }
};

inline ExpectedWidget expect(const char *name, const char *className, const char *container)
{
    ExpectedWidget s;
    s.name = QString::fromLatin1(name);
    s.className = className;
    s.container = QString::fromLatin1(container);
    return s;
}

inline QStringList numbers(int count, int step)
{
    QStringList list;
    for (int k = 0; k < count; ++k)
        list << QString::number(k * step);
    return list;
}

inline QStringList halfDegrees()
{
    QStringList list{"0"};
    for (int k = 1; k <= 10; ++k)
        list << QString::number(k * 0.5, 'f', 1);
    return list;
}

inline bool hasAncestor(const QWidget *w, const QString &name)
{
    for (const QWidget *p = w->parentWidget(); p; p = p->parentWidget())
        if (p->objectName() == name)
            return true;
    return false;
}

inline QString shownText(const QWidget *w)
{
    if (auto *l = qobject_cast<const QLabel *>(w))
        return l->text();
    if (auto *b = qobject_cast<const QAbstractButton *>(w))
        return b->text();
    if (auto *e = qobject_cast<const QLineEdit *>(w))
        return e->text();
    if (auto *g = qobject_cast<const QGroupBox *>(w))
        return g->title();
    return QString();
}

inline QStringList comboItems(const QComboBox *c)
{
    QStringList list;
    for (int i = 0; i < c->count(); ++i)
        list << c->itemText(i);
    return list;
}

inline bool hasHanCharacters(const QString &s)
{
    for (const QChar c : s) {
        const ushort u = c.unicode();
        if ((u >= 0x4E00 && u <= 0x9FFF) || (u >= 0x3000 && u <= 0x303F) ||
            (u >= 0xFF00 && u <= 0xFFEF))
            return true;
    }
    return false;
}

inline const QStringList indicatorNames{
    "stateInOne",   "stateInTwo",    "stateInThree",   "stateInFour",     "stateInFive",
    "stateInSix",   "stateOutOne",   "stateOutTwo",    "stateOutThree",   "stateOutFour",
    "stateInOne_2", "stateInTwo_2",  "stateInThree_2", "stateInFour_2",   "stateInFive_2",
    "stateInSix_2", "stateOutOne_2", "stateOutTwo_2",  "stateOutThree_2", "stateOutFour_2"};

// The form on a bare main window, made anew for each test (init() and cleanup() of the
// test class call setUp() and tearDown()).
class FormFixture
{
protected:
    void setUp()
    {
        workDir = new TempWorkingDir;
        window = new QMainWindow;
        form = new Ui::MainWindow;
        form->setupUi(window);
    }

    void tearDown()
    {
        if (translator) {
            QCoreApplication::removeTranslator(translator);
            delete translator;
            translator = nullptr;
        }
        delete form;
        delete window;
        delete workDir;
        form = nullptr;
        window = nullptr;
        workDir = nullptr;
    }

    // The English catalogue installed and the form translated with it.
    void installEnglish()
    {
        translator = new QTranslator;
        QVERIFY2(translator->load(QStringLiteral(FORM_EN_QM)), FORM_EN_QM);
        QVERIFY(QCoreApplication::installTranslator(translator));
        form->retranslateUi(window);
    }

    TempWorkingDir *workDir = nullptr;
    QMainWindow *window = nullptr;
    Ui::MainWindow *form = nullptr;
    QTranslator *translator = nullptr;
};

} // namespace formtest

Q_DECLARE_METATYPE(formtest::ExpectedWidget)
