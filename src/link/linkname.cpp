#include "linkname.h"

#include <QUrl>

bool isTcpLinkName(const QString &name)
{
    return name.startsWith(QLatin1String("tcp://"), Qt::CaseInsensitive);
}

bool parseTcpLinkName(const QString &name, QString *host, quint16 *port, QString *error)
{
    const auto fail = [&](const QString &why) {
        if (error)
            *error = QStringLiteral("'%1' is not tcp://HOST:PORT: %2").arg(name, why);
        return false;
    };
    if (!isTcpLinkName(name))
        return fail(QStringLiteral("it does not start with tcp://"));
    const QUrl url(name, QUrl::StrictMode);
    if (!url.isValid())
        return fail(url.errorString());
    if (url.host().isEmpty())
        return fail(QStringLiteral("no host"));
    if (!url.path().isEmpty() && url.path() != QLatin1String("/"))
        return fail(QStringLiteral("a device server takes no path"));
    if (!url.userInfo().isEmpty() || url.hasQuery() || url.hasFragment())
        return fail(QStringLiteral("only a host and a port"));
    const int number = url.port(-1);
    if (number < 1 || number > 65535)
        return fail(QStringLiteral("no port from 1 to 65535"));
    *host = url.host();
    *port = quint16(number);
    return true;
}
