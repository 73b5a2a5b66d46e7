#include "pgtestserver.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStandardPaths>

namespace {

const char *const AdminSql[] = {
    "CREATE ROLE rq_inspector NOLOGIN",
    "CREATE ROLE rq_qa NOLOGIN",
    "CREATE ROLE rq_admin LOGIN",
    "CREATE ROLE alice LOGIN IN ROLE rq_inspector",
    "CREATE ROLE bob LOGIN IN ROLE rq_inspector",
    "CREATE ROLE carol LOGIN IN ROLE rq_inspector",
    "CREATE ROLE quentin LOGIN IN ROLE rq_qa",
    "CREATE DATABASE team OWNER rq_admin",
};

QString findBin()
{
    const QStringList versions =
        QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (auto it = versions.crbegin(); it != versions.crend(); ++it) {
        const QString bin = QStringLiteral("/usr/lib/postgresql/%1/bin").arg(*it);
        if (QFile::exists(bin + QStringLiteral("/initdb")))
            return bin;
    }
    return QString();
}

// A port on 127.0.0.1 that nothing listens on now, as the system hands one out.
int freePort()
{
    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    int port = 0;
    if (socket >= 0 && ::bind(socket, reinterpret_cast<sockaddr *>(&address), size) == 0 &&
        ::getsockname(socket, reinterpret_cast<sockaddr *>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    if (socket >= 0)
        ::close(socket);
    return port;
}

// Queries as the superuser through a connection of their own, closed again at once.
class Superuser
{
public:
    Superuser(const QString &folder, int port, const QString &database)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), Name);
        db.setConnectOptions(QStringLiteral("host=%1 port=%2 user=postgres dbname=%3")
                                 .arg(folder)
                                 .arg(port)
                                 .arg(database));
        db.open();
    }
    ~Superuser()
    {
        QSqlDatabase::database(Name, false).close();
        QSqlDatabase::removeDatabase(Name);
    }
    QSqlDatabase db() const { return QSqlDatabase::database(Name, false); }

private:
    static constexpr const char *Name = "test superuser";
};

} // namespace

PgTestServer::PgTestServer(Mode mode)
    : m_mode(mode)
{
}

PgTestServer::~PgTestServer()
{
    if (m_running)
        stop(false);
}

bool PgTestServer::run(const QString &program, const QStringList &arguments, QString *output)
{
    return runAs(m_bin + QLatin1Char('/') + program, arguments, output);
}

bool PgTestServer::runAs(const QString &path, const QStringList &arguments, QString *output)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setWorkingDirectory(m_dir->path());
    // The server refuses to run as root; the unprivileged nobody runs it in a folder it may write.
    if (geteuid() == 0)
        process.start(QStringLiteral("runuser"),
                      QStringList{QStringLiteral("-u"), QStringLiteral("nobody"),
                                  QStringLiteral("--"), path} +
                          arguments);
    else
        process.start(path, arguments);
    const bool finished = process.waitForFinished(120000);
    if (output)
        *output = QString::fromLocal8Bit(process.readAll());
    return finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

QString PgTestServer::start()
{
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        return QStringLiteral("Qt's PostgreSQL driver is not installed (Debian libqt5sql5-psql)");
    m_bin = findBin();
    if (m_bin.isEmpty())
        return QStringLiteral("PostgreSQL is not installed (Debian postgresql)");
    m_dir = std::make_unique<QTemporaryDir>();
    if (!m_dir->isValid())
        return QStringLiteral("no temporary folder");
    if (geteuid() == 0)
        QFile::setPermissions(m_dir->path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                 QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                                 QFileDevice::WriteOther | QFileDevice::ExeOther);
    QString output;
    if (!run(QStringLiteral("initdb"),
             {QStringLiteral("-D"), m_dir->filePath(QStringLiteral("data")), QStringLiteral("-U"),
              QStringLiteral("postgres"), QStringLiteral("--auth=trust"), QStringLiteral("-E"),
              QStringLiteral("UTF8"), QStringLiteral("--no-sync")},
             &output))
        return QStringLiteral("initdb failed: ") + output;
    if (m_mode == Mode::Tls) {
        const QString why = makeCertificates();
        if (!why.isEmpty())
            return why;
    }
    if (!restart())
        return QStringLiteral("the server did not start");
    QString error;
    QStringList admin;
    for (const char *statement : AdminSql)
        admin.append(QLatin1String(statement));
    Superuser postgres(m_dir->path(), m_port, QStringLiteral("postgres"));
    QSqlQuery query(postgres.db());
    for (const QString &statement : qAsConst(admin)) {
        if (!query.exec(statement))
            return QStringLiteral("setting up the roles failed: ") + query.lastError().text();
    }
    return QString();
}

bool PgTestServer::stop(bool crash)
{
    m_running = false;
    return run(QStringLiteral("pg_ctl"),
               {QStringLiteral("-D"), m_dir->filePath(QStringLiteral("data")), QStringLiteral("-m"),
                crash ? QStringLiteral("immediate") : QStringLiteral("fast"), QStringLiteral("-w"),
                QStringLiteral("stop")});
}

bool PgTestServer::restart()
{
    // fsync off: the test's server never outlives a crash of the machine.
    QString options =
        QStringLiteral("-k %1 -p %2 -c fsync=%3")
            .arg(m_dir->path())
            .arg(m_port)
            .arg(m_mode == Mode::Durable ? QStringLiteral("on") : QStringLiteral("off"));
    if (m_mode == Mode::Tls)
        options += QStringLiteral(" -c listen_addresses=127.0.0.1 -c ssl=on -c ssl_cert_file='%1'"
                                  " -c ssl_key_file='%2'")
                       .arg(m_dir->filePath(QStringLiteral("server.crt")),
                            m_dir->filePath(QStringLiteral("server.key")));
    else
        options += QStringLiteral(" -c listen_addresses=''");
    m_running =
        run(QStringLiteral("pg_ctl"),
            {QStringLiteral("-D"), m_dir->filePath(QStringLiteral("data")), QStringLiteral("-o"),
             options, QStringLiteral("-l"), m_dir->filePath(QStringLiteral("log")),
             QStringLiteral("-w"), QStringLiteral("start")});
    return m_running;
}

QString PgTestServer::keywords(const QString &role) const
{
    return QStringLiteral("host=%1 port=%2 user=%3 dbname=team")
        .arg(m_dir->path())
        .arg(m_port)
        .arg(role);
}

QString PgTestServer::signer() const
{
    return m_dir->filePath(QStringLiteral("signer.crt"));
}

QString PgTestServer::stranger() const
{
    return m_dir->filePath(QStringLiteral("stranger.crt"));
}

QString PgTestServer::makeCertificates()
{
    const QString openssl = QStandardPaths::findExecutable(QStringLiteral("openssl"));
    if (openssl.isEmpty())
        return QStringLiteral("openssl is not installed (Debian openssl)");
    m_port = freePort();
    if (m_port == 0)
        return QStringLiteral("no free port on 127.0.0.1");
    const auto file = [this](const char *name) { return m_dir->filePath(QLatin1String(name)); };
    // Elliptic-curve keys: made in an instant, unlike RSA ones.
    const QStringList newKey = {
        QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
        QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes")};
    const QStringList authority = QStringList{QStringLiteral("req"), QStringLiteral("-x509"),
                                              QStringLiteral("-days"), QStringLiteral("2")} +
                                  newKey;
    QString output;
    for (const char *name : {"signer", "stranger"}) {
        const QString base = file(name);
        if (!runAs(openssl,
                   authority + QStringList{QStringLiteral("-subj"),
                                           QStringLiteral("/CN=RQ-6814 test %1").arg(name),
                                           QStringLiteral("-keyout"), base + QStringLiteral(".key"),
                                           QStringLiteral("-out"), base + QStringLiteral(".crt")},
                   &output))
            return QStringLiteral("openssl made no authority: ") + output;
    }
    if (!runAs(openssl,
               QStringList{QStringLiteral("req")} + newKey +
                   QStringList{QStringLiteral("-subj"), QStringLiteral("/CN=localhost"),
                               QStringLiteral("-addext"),
                               QStringLiteral("subjectAltName=DNS:localhost,IP:127.0.0.1"),
                               QStringLiteral("-keyout"), file("server.key"),
                               QStringLiteral("-out"), file("server.csr")},
               &output) ||
        !runAs(openssl,
               {QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"),
                file("server.csr"), QStringLiteral("-CA"), file("signer.crt"),
                QStringLiteral("-CAkey"), file("signer.key"), QStringLiteral("-set_serial"),
                QStringLiteral("1"), QStringLiteral("-days"), QStringLiteral("2"),
                QStringLiteral("-copy_extensions"), QStringLiteral("copy"), QStringLiteral("-out"),
                file("server.crt")},
               &output))
        return QStringLiteral("openssl made no server certificate: ") + output;
    // The server reads a key only its own user may read.
    QFile::setPermissions(file("server.key"), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QFile rules(m_dir->filePath(QStringLiteral("data/pg_hba.conf")));
    if (!rules.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        rules.write("local all all trust\nhostssl all all 127.0.0.1/32 trust\n") < 0)
        return QStringLiteral("pg_hba.conf cannot be written");
    return QString();
}

bool PgTestServer::exec(const QStringList &statements, QString *error) const
{
    Superuser postgres(m_dir->path(), m_port, QStringLiteral("team"));
    QSqlQuery query(postgres.db());
    for (const QString &statement : statements) {
        if (!query.exec(statement)) {
            if (error)
                *error = query.lastError().text();
            return false;
        }
    }
    return true;
}

QVariant PgTestServer::value(const QString &sql) const
{
    Superuser postgres(m_dir->path(), m_port, QStringLiteral("team"));
    QSqlQuery query(postgres.db());
    return query.exec(sql) && query.next() ? query.value(0) : QVariant();
}

QString PgTestServer::cell(const QVariant &value)
{
    if (value.isNull())
        return QStringLiteral("NULL");
    if (value.type() == QVariant::Double)
        return QString::number(value.toDouble(), 'g', 17);
    if (value.type() == QVariant::ByteArray)
        return QString::fromLatin1(value.toByteArray().toHex());
    return value.toString();
}

QStringList PgTestServer::rows(const QString &sql) const
{
    Superuser postgres(m_dir->path(), m_port, QStringLiteral("team"));
    QSqlQuery query(postgres.db());
    query.setNumericalPrecisionPolicy(QSql::LowPrecisionDouble);
    QStringList rows;
    if (!query.exec(sql))
        return {query.lastError().text()};
    while (query.next()) {
        QStringList columns;
        for (int i = 0; i < query.record().count(); ++i)
            columns.append(cell(query.value(i)));
        rows.append(columns.join(QLatin1Char('|')));
    }
    return rows;
}
