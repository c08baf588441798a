#include "history/PostgresAddress.h"

#include <QRegularExpression>
#include <QUrl>

namespace {
constexpr const char* kSchemes[] = {"postgresql://", "postgres://"};
/// What stands for a password in every message.
constexpr const char* kMask = "****";
/// The parameters of the address passed on to libpq; any other is refused by name.
constexpr const char* kParameters[] = {"sslmode",
                                       "sslrootcert",
                                       "sslcert",
                                       "sslkey",
                                       "sslcrl",
                                       "gssencmode",
                                       "channel_binding",
                                       "target_session_attrs",
                                       "keepalives",
                                       "keepalives_idle",
                                       "keepalives_interval",
                                       "keepalives_count",
                                       "tcp_user_timeout",
                                       "options"};
} // namespace

bool PostgresAddress::IsServer(const QString& database)
{
    for (const char* scheme : kSchemes) {
        if (database.startsWith(QLatin1String(scheme), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

QString PostgresAddress::Masked(const QString& address)
{
    QString masked = address;
    // user:password@ in the authority, and password= among the parameters.
    static const QRegularExpression userPassword(QStringLiteral("^([a-z]+://[^:/@?]*:)[^@]*@"),
                                                 QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression parameter(QStringLiteral("([?&]password=)[^&]*"),
                                              QRegularExpression::CaseInsensitiveOption);
    masked.replace(userPassword, QStringLiteral("\\1%1@").arg(QLatin1String(kMask)));
    masked.replace(parameter, QStringLiteral("\\1%1").arg(QLatin1String(kMask)));
    return masked;
}

QString PostgresAddress::ConnectOptions() const
{
    QStringList options;
    for (auto it = parameters.cbegin(); it != parameters.cend(); ++it)
        options << it.key() + u'=' + it.value();
    return options.join(u';');
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
                      .arg(Masked(address), why);
        return false;
    };
    const QString noPassword =
        QStringLiteral("a password does not belong in it: use PGPASSWORD or ~/.pgpass");
    if (rest.isEmpty())
        return bad(QStringLiteral("it does not start with postgresql://"));
    if (const qsizetype question = rest.indexOf(QLatin1Char('?')); question >= 0) {
        for (const QString& pair :
             rest.mid(question + 1).split(QLatin1Char('&'), Qt::SkipEmptyParts)) {
            const QString key = QUrl::fromPercentEncoding(pair.section(u'=', 0, 0).toUtf8());
            const QString value = QUrl::fromPercentEncoding(pair.section(u'=', 1).toUtf8());
            if (key.compare(QLatin1String("password"), Qt::CaseInsensitive) == 0)
                return bad(noPassword);
            bool known = false;
            for (const char* name : kParameters)
                known = known || key == QLatin1String(name);
            if (!known)
                return bad(QStringLiteral("the parameter \"%1\" is not taken").arg(key));
            // Qt hands the options to libpq separated by ";" and spaces.
            if (value.isEmpty() ||
                value.contains(QRegularExpression(QStringLiteral("[;\\s'\\\\]"))))
                return bad(QStringLiteral("the parameter \"%1\" has no usable value").arg(key));
            parsed.parameters.insert(key, value);
        }
        rest.truncate(question);
    }
    const int at = rest.indexOf(QLatin1Char('@'));
    if (at >= 0) {
        const QString user = rest.left(at);
        if (user.contains(QLatin1Char(':')))
            return bad(noPassword);
        parsed.user = QUrl::fromPercentEncoding(user.toUtf8());
        rest = rest.mid(at + 1);
    }
    // The database is what follows the last "/"; a socket folder may hold more of them.
    const int slash = rest.lastIndexOf(QLatin1Char('/'));
    if (slash < 0 || slash == rest.size() - 1)
        return bad(QStringLiteral("no database named"));
    parsed.database = QUrl::fromPercentEncoding(rest.mid(slash + 1).toUtf8());
    QString host = rest.left(slash);
    // A port after the host, also after a socket folder (the socket's number).
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
