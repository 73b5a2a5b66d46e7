#pragma once

#include <memory>

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

// A PostgreSQL server of the test's own, in a temporary folder and reached through a socket
// there: initdb, then pg_ctl. A test running as root runs the server as the unprivileged user
// nobody, as PostgreSQL insists. The server holds the database "team" with the logger's group
// roles and these login roles: rq_admin (owner of the tables), alice and bob (inspectors of team
// north), carol (inspector of team south) and quentin (QA).
class PgTestServer
{
public:
    // A durable server syncs its files to disk as a production server does; the tests' does not.
    // A TLS server also listens on 127.0.0.1, where it takes TLS connections only, with a
    // certificate for localhost and 127.0.0.1 signed by an authority the test makes.
    enum class Mode { Fast, Durable, Tls };

    explicit PgTestServer(Mode mode = Mode::Fast);
    ~PgTestServer();
    PgTestServer(const PgTestServer &) = delete;
    PgTestServer &operator=(const PgTestServer &) = delete;

    // Empty when the server runs, else why it cannot (for QSKIP).
    QString start();
    // Ends the server as a crash would (immediate shutdown), or politely.
    bool stop(bool crash);
    bool restart();

    // libpq keywords that connect as role to the team database through the socket.
    QString keywords(const QString &role) const;
    // Where a TLS server listens on 127.0.0.1.
    int port() const { return m_port; }
    // The files of the authority that signed a TLS server's certificate, and of one that did not.
    QString signer() const;
    QString stranger() const;
    // Runs statements as the superuser in the team database; false on the first failure.
    bool exec(const QStringList &statements, QString *error = nullptr) const;
    // The first column of the first row, as the superuser.
    QVariant value(const QString &sql) const;
    // A value as both a workspace and the server can show it: doubles to seventeen digits, bytes
    // in hex.
    static QString cell(const QVariant &value);
    // Every row of sql as the superuser, the cells joined by '|'.
    QStringList rows(const QString &sql) const;

private:
    // Runs one of the server's programs, as the server's user.
    bool run(const QString &program, const QStringList &arguments, QString *output = nullptr);
    bool runAs(const QString &path, const QStringList &arguments, QString *output);
    // The authorities, the server's key and certificate, and the TLS-only rules for addresses.
    QString makeCertificates();

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_bin;
    // The socket's name takes the port; the socket's folder is the test's own.
    int m_port = 5432;
    bool m_running = false;
    Mode m_mode = Mode::Fast;
};
