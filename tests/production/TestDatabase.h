#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>
#include <memory>

struct BenchRow;
class DeviceRecord;
class ProductionDatabase;

// Fresh production databases for a test, on real servers: SQLite files in
// a temporary folder, or new databases on a PostgreSQL server the tests
// start themselves (tests/support/pg-test-server). Databases made on a
// server are dropped again when this object goes.
class TestDatabase
{
public:
    TestDatabase();
    ~TestDatabase();
    TestDatabase(const TestDatabase &) = delete;
    TestDatabase &operator=(const TestDatabase &) = delete;

    // The folder of the shared test server, from TARVO_TEST_PG_DIR (set by
    // CTest, whose fixture starts the server); empty when not set.
    static QString sharedServer();
    // postgresql://tarvo@<folder, %-encoded>/database
    static QString postgresLocation(const QString &serverDir, const QString &database);
    // Points libpq at the server's password file (PGPASSFILE).
    static void usePasswordsOf(const QString &serverDir);

    // A new empty database on the server; empty and *error set on failure.
    QString createPostgres(const QString &serverDir, QString *error);

    // A column "backend" with the rows "sqlite" and "postgres".
    static void addBackendRows();
    // A fresh location of backend: a new SQLite file, or a new database on
    // the shared server. A test that cannot have one cannot run: it ends.
    QString fresh(const QString &backend);

    // One statement run straight on a location (to stage or inspect what
    // the program stored); the first column of the first row, if any.
    static QVariant scalar(const QString &location, const QString &sql, QString *error = nullptr);
    // The records appended one by one, as benches write them; false (with
    // the store's text as a warning) at the first refused.
    static bool storeRecords(const std::shared_ptr<ProductionDatabase> &database, const QList<DeviceRecord> &records);
    // The one bench's row of the line, read as the board reads it; empty
    // (with a warning) when there is not exactly one.
    static BenchRow onlyBench(const QString &location);
    // The records stored, and the devices their daily counts hold.
    static qint64 recordCount(const QString &location);
    static qint64 countedDevices(const QString &location);
    // Takes a database this program made back to an older schema version:
    // what each later version added taken out, as a database of that
    // version was. False with *error at the first statement refused.
    static bool backToSchema(const QString &location, int version, QString *error);

private:
    QStringList m_created;
    QString m_serverDir;
    QTemporaryDir m_files;
    int m_fileCount = 0;
};

// A PostgreSQL server of a test's own, which the test can stop and start.
class TestServer
{
public:
    explicit TestServer(const QString &dir);
    ~TestServer();
    bool start(QString *error);
    bool halt(QString *error);
    // Stopped at once, as a power cut or a killed server stops it.
    bool crash(QString *error);
    bool resume(QString *error);
    QString dir() const { return m_dir; }

private:
    bool script(const QString &action, QString *error);
    QString m_dir;
    bool m_started = false;
};
