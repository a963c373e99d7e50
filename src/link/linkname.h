#pragma once

#include <QString>

// The name of a link through a serial device server: "tcp://HOST:PORT"; any other name is a
// serial port.
bool isTcpLinkName(const QString &name);
// HOST and PORT of such a name; false with a reason in *error for one that does not read
// (no host, a path, a port that is not 1 to 65535). IPv6 hosts are written in brackets.
bool parseTcpLinkName(const QString &name, QString *host, quint16 *port, QString *error);
