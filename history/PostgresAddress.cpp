#include "history/PostgresAddress.h"

#include <QUrl>

namespace {
constexpr const char* kSchemes[] = {"postgresql://", "postgres://"};
} // namespace

bool PostgresAddress::IsServer(const QString& database)
{
    for (const char* scheme : kSchemes) {
        if (database.startsWith(QLatin1String(scheme), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

bool PostgresAddress::Parse(const QString& address, PostgresAddress& parsed, QString& errText)
{
    parsed = {};
    QString rest;
    for (const char* scheme : kSchemes) {
        if (address.startsWith(QLatin1String(scheme), Qt::CaseInsensitive))
            rest = address.mid(int(qstrlen(scheme)));
    }
    const auto bad = [&](const QString& why) {
        errText = QStringLiteral("\"%1\" is no database address (%2); it reads "
                                 "postgresql://user@host/database")
                      .arg(address, why);
        return false;
    };
    if (rest.isEmpty())
        return bad(QStringLiteral("it does not start with postgresql://"));
    if (rest.contains(QLatin1Char('?')))
        rest.truncate(rest.indexOf(QLatin1Char('?')));
    const int at = rest.indexOf(QLatin1Char('@'));
    if (at >= 0) {
        const QString user = rest.left(at);
        if (user.contains(QLatin1Char(':')))
            return bad(QStringLiteral("a password does not belong in it: use PGPASSWORD or "
                                      "~/.pgpass"));
        parsed.user = QUrl::fromPercentEncoding(user.toUtf8());
        rest = rest.mid(at + 1);
    }
    // The database is what follows the last "/"; a socket folder may hold more of them.
    const int slash = rest.lastIndexOf(QLatin1Char('/'));
    if (slash < 0 || slash == rest.size() - 1)
        return bad(QStringLiteral("no database named"));
    parsed.database = QUrl::fromPercentEncoding(rest.mid(slash + 1).toUtf8());
    QString host = rest.left(slash);
    if (host.startsWith(QLatin1Char('/')) ||
        host.startsWith(QLatin1String("%2F"), Qt::CaseInsensitive)) {
        parsed.host = QUrl::fromPercentEncoding(host.toUtf8());
        return true;
    }
    const int colon = host.lastIndexOf(QLatin1Char(':'));
    if (colon >= 0 && !host.endsWith(QLatin1Char(']'))) {
        bool ok = false;
        parsed.port = host.mid(colon + 1).toInt(&ok);
        if (!ok || parsed.port <= 0 || parsed.port > 65535)
            return bad(QStringLiteral("the port is no number"));
        host.truncate(colon);
    }
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    parsed.host = QUrl::fromPercentEncoding(host.toUtf8());
    return true;
}
