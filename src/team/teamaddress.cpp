#include "teamaddress.h"

#include <QList>
#include <QPair>
#include <QUrl>
#include <QUrlQuery>

namespace {

using Pairs = QList<QPair<QString, QString>>;

// A server that does not answer must not hold the sync for libpq's default of forever.
constexpr int ConnectTimeoutS = 10;

bool isUri(const QString &address)
{
    return address.startsWith(QLatin1String("postgresql://")) ||
           address.startsWith(QLatin1String("postgres://"));
}

bool parseUri(const QString &address, Pairs *pairs)
{
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid())
        return false;
    if (!url.password().isEmpty())
        pairs->append({QStringLiteral("password"), url.password()});
    if (!url.userName().isEmpty())
        pairs->append({QStringLiteral("user"), url.userName()});
    if (!url.host().isEmpty())
        pairs->append({QStringLiteral("host"), url.host()});
    if (url.port() != -1)
        pairs->append({QStringLiteral("port"), QString::number(url.port())});
    const QString path = url.path().mid(1);
    if (!path.isEmpty())
        pairs->append({QStringLiteral("dbname"), path});
    const auto items = QUrlQuery(url).queryItems(QUrl::FullyDecoded);
    for (const auto &item : items)
        pairs->append({item.first, item.second});
    return true;
}

// keyword = value pairs; a value may be single-quoted, with \' and \\ inside.
bool parseKeywords(const QString &address, Pairs *pairs)
{
    int i = 0;
    const int n = address.size();
    const auto skipSpace = [&] {
        while (i < n && address.at(i).isSpace())
            ++i;
    };
    for (;;) {
        skipSpace();
        if (i >= n)
            return true;
        const int keyStart = i;
        while (i < n && (address.at(i).isLetterOrNumber() || address.at(i) == QLatin1Char('_')))
            ++i;
        const QString key = address.mid(keyStart, i - keyStart);
        skipSpace();
        if (key.isEmpty() || i >= n || address.at(i) != QLatin1Char('='))
            return false;
        ++i;
        skipSpace();
        QString value;
        if (i < n && address.at(i) == QLatin1Char('\'')) {
            for (++i;; ++i) {
                if (i >= n)
                    return false;
                const QChar c = address.at(i);
                if (c == QLatin1Char('\''))
                    break;
                if (c == QLatin1Char('\\') && i + 1 < n)
                    ++i;
                value += address.at(i);
            }
            ++i;
        } else {
            while (i < n && !address.at(i).isSpace()) {
                if (address.at(i) == QLatin1Char('\\') && i + 1 < n)
                    ++i;
                value += address.at(i++);
            }
        }
        pairs->append({key, value});
    }
}

bool parse(const QString &address, Pairs *pairs)
{
    const QString trimmed = address.trimmed();
    return isUri(trimmed) ? parseUri(trimmed, pairs) : parseKeywords(trimmed, pairs);
}

bool holdsPassword(const Pairs &pairs)
{
    for (const auto &pair : pairs) {
        if (pair.first == QLatin1String("password"))
            return true;
    }
    return false;
}

} // namespace

QString TeamAddress::toKeywords(const QString &address, QString *error)
{
    Pairs pairs;
    if (!parse(address, &pairs) || pairs.isEmpty()) {
        *error = tr("The team server's address \"%1\" is neither a connection string "
                    "(host=... dbname=... user=...) nor a postgresql:// address.")
                     .arg(address.trimmed());
        return QString();
    }
    if (holdsPassword(pairs)) {
        *error = passwordRefusal();
        return QString();
    }
    bool timeout = false;
    QStringList keywords;
    for (const auto &pair : qAsConst(pairs)) {
        timeout = timeout || pair.first == QLatin1String("connect_timeout");
        QString value = pair.second;
        value.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
        value.replace(QLatin1Char('\''), QLatin1String("\\'"));
        keywords.append(QStringLiteral("%1='%2'").arg(pair.first, value));
    }
    if (!timeout)
        keywords.append(QStringLiteral("connect_timeout=%1").arg(ConnectTimeoutS));
    return keywords.join(QLatin1Char(' '));
}

bool TeamAddress::hasPassword(const QString &address)
{
    Pairs pairs;
    parse(address, &pairs);
    return holdsPassword(pairs);
}

QString TeamAddress::passwordRefusal()
{
    return tr("A password is never kept in the options. Remove it from the team server's address "
              "and keep it in the PostgreSQL password file (~/.pgpass, or pgpass.conf in "
              "%APPDATA%\\postgresql on Windows) or in the PGPASSWORD environment variable.");
}
