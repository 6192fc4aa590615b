#pragma once

#include <QString>

// Where the production records and serial sequences live, from one text:
// a file path is an SQLite database; postgresql://[user@][host][:port]/dbname
// is a PostgreSQL server. A socket folder is given as the host %-encoded
// (postgresql://user@%2Fvar%2Frun%2Fpostgresql/line) or as a query
// (postgresql://user@/line?host=/var/run/postgresql). A password in the
// location is refused before anything else is checked, and never repeated
// in a message: libpq reads it from PGPASSFILE or ~/.pgpass.
class DatabaseLocation
{
public:
    enum class Kind { Invalid, Sqlite, Postgres };

    static DatabaseLocation parse(const QString &text);

    Kind kind() const { return m_kind; }
    bool isValid() const { return m_kind != Kind::Invalid; }
    // Why the text is not a location; empty when valid.
    QString error() const { return m_error; }
    // The text as given, for messages; only the scheme where it held a
    // password.
    QString text() const { return m_text; }

    // SQLite
    QString filePath() const { return m_filePath; }
    // PostgreSQL; an empty host or user, or port -1, leaves libpq's default.
    QString host() const { return m_host; }
    int port() const { return m_port; }
    QString user() const { return m_user; }
    QString databaseName() const { return m_database; }

private:
    bool parsePostgres(const QString &rest);
    bool setPort(const QString &text);
    bool fail(const QString &message);

    Kind m_kind = Kind::Invalid;
    QString m_error;
    QString m_text;
    QString m_filePath;
    QString m_host;
    int m_port = -1;
    QString m_user;
    QString m_database;
};
