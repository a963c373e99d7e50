#include "reportcatalogue.h"

#include <QCoreApplication>
#include <QTranslator>

bool installReportCatalogue(QCoreApplication *app)
{
    // The resource lives in a static library and must be registered by name.
    Q_INIT_RESOURCE(reportcatalogue);
    auto *translator = new QTranslator(app);
    if (!translator->load(QStringLiteral(":/reportcatalogue/vt_en.qm"))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}
