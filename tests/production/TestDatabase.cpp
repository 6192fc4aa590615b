#include "TestDatabase.h"

#include <QAtomicInt>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QUrl>

#include "BenchBoard.h"
#include "DatabaseLocation.h"
#include "DeviceRecord.h"
#include "ProductionDatabase.h"
#include "SqlRecordStore.h"

namespace {

QAtomicInt connectionCount;

// Runs fn on a fresh connection to location and removes the connection.
template<typename Fn>
bool withConnection(const QString &location, QString *error, Fn fn)
{
    const DatabaseLocation where = DatabaseLocation::parse(location);
    const QString name = QStringLiteral("tarvo-test-%1").arg(connectionCount.fetchAndAddRelaxed(1));
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(
            where.kind() == DatabaseLocation::Kind::Postgres ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE"), name);
        if (where.kind() == DatabaseLocation::Kind::Postgres) {
            db.setHostName(where.host());
            db.setUserName(where.user());
            db.setDatabaseName(where.databaseName());
        } else {
            db.setDatabaseName(where.filePath());
        }
        if (!db.open()) {
            if (error)
                *error = db.lastError().text();
        } else {
            ok = fn(db, error);
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

} // namespace

TestDatabase::TestDatabase() = default;

TestDatabase::~TestDatabase()
{
    for (const QString &name : std::as_const(m_created))
        withConnection(postgresLocation(m_serverDir, QStringLiteral("tarvo")), nullptr, [&name](QSqlDatabase &db, QString *) {
            QSqlQuery(db).exec(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name));
            return true;
        });
}

QString TestDatabase::sharedServer()
{
    return qEnvironmentVariable("TARVO_TEST_PG_DIR");
}

QString TestDatabase::postgresLocation(const QString &serverDir, const QString &database)
{
    return QStringLiteral("postgresql://tarvo@%1/%2")
        .arg(QString::fromLatin1(QUrl::toPercentEncoding(serverDir)), database);
}

void TestDatabase::usePasswordsOf(const QString &serverDir)
{
    qputenv("PGPASSFILE", (serverDir + QStringLiteral("/pgpass")).toLocal8Bit());
}

QString TestDatabase::createPostgres(const QString &serverDir, QString *error)
{
    usePasswordsOf(serverDir);
    m_serverDir = serverDir;
    const QString name = QStringLiteral("t_%1").arg(QRandomGenerator::global()->generate64(), 0, 16);
    const bool ok = withConnection(postgresLocation(serverDir, QStringLiteral("tarvo")), error,
                                   [&name](QSqlDatabase &db, QString *why) {
                                       QSqlQuery query(db);
                                       if (query.exec(QStringLiteral("CREATE DATABASE %1").arg(name)))
                                           return true;
                                       *why = query.lastError().text();
                                       return false;
                                   });
    if (!ok)
        return QString();
    m_created << name;
    return postgresLocation(serverDir, name);
}

void TestDatabase::addBackendRows()
{
    QTest::addColumn<QString>("backend");
    QTest::newRow("sqlite") << QStringLiteral("sqlite");
    QTest::newRow("postgres") << QStringLiteral("postgres");
}

QString TestDatabase::fresh(const QString &backend)
{
    if (backend == QLatin1String("sqlite"))
        return m_files.filePath(QStringLiteral("line-%1.db").arg(++m_fileCount));
    QString error;
    const QString location = createPostgres(sharedServer(), &error);
    if (location.isEmpty())
        qFatal("no test database: %s", qPrintable(error));
    return location;
}

QVariant TestDatabase::scalar(const QString &location, const QString &sql, QString *error)
{
    QVariant value;
    QString why;
    const bool ok = withConnection(location, &why, [&](QSqlDatabase &db, QString *e) {
        QSqlQuery query(db);
        if (!query.exec(sql)) {
            *e = query.lastError().text();
            return false;
        }
        if (query.next())
            value = query.value(0);
        return true;
    });
    if (!ok && error)
        *error = why;
    return value;
}

bool TestDatabase::storeRecords(const std::shared_ptr<ProductionDatabase> &database, const QList<DeviceRecord> &records)
{
    SqlRecordStore store(database);
    QString error;
    for (const DeviceRecord &r : records)
        if (!store.append(r, &error)) {
            qWarning("%s", qPrintable(error));
            return false;
        }
    return true;
}

BenchRow TestDatabase::onlyBench(const QString &location)
{
    ProductionDatabase reader(DatabaseLocation::parse(location));
    QString error;
    QList<BenchRow> rows;
    if (!reader.open(&error, ProductionDatabase::OpenMode::Existing) || !BenchBoard(reader).benches(&rows, &error)) {
        qWarning("%s", qPrintable(error));
        return {};
    }
    if (rows.size() != 1) {
        qWarning("%lld rows", qlonglong(rows.size()));
        return {};
    }
    return rows.first();
}

qint64 TestDatabase::recordCount(const QString &location)
{
    return scalar(location, QStringLiteral("SELECT COUNT(*) FROM tarvo_records")).toLongLong();
}

qint64 TestDatabase::countedDevices(const QString &location)
{
    return scalar(location, QStringLiteral("SELECT COALESCE(SUM(devices), 0) FROM tarvo_record_counts")).toLongLong();
}

bool TestDatabase::backToSchema(const QString &location, int version, QString *error)
{
    // What each version added, newest first.
    enum class On { Both, Sqlite, Postgres };
    struct Added
    {
        int version;
        const char *undo;
        On on = On::Both;
    };
    static const Added added[] = {
        {6, "DROP TRIGGER tarvo_records_counted ON tarvo_records", On::Postgres},
        {6, "DROP FUNCTION tarvo_count_record", On::Postgres},
        {6, "DROP TRIGGER tarvo_records_counted", On::Sqlite},
        {6, "DROP TABLE tarvo_record_counts"},
        {6, "ALTER TABLE tarvo_records DROP COLUMN failed_step"},
        {5, "DROP TABLE tarvo_benches"},
        {5, "DROP INDEX tarvo_reservations_retired"},
        {4, "DROP INDEX tarvo_records_by_job_lot"},
        {4, "DROP INDEX tarvo_records_by_job"},
        {4, "DROP INDEX tarvo_records_by_bench"},
        {4, "DROP INDEX tarvo_records_by_day"},
        {4, "ALTER TABLE tarvo_records DROP COLUMN job_name"},
        {4, "ALTER TABLE tarvo_records DROP COLUMN job_sha256"},
        {4, "ALTER TABLE tarvo_records DROP COLUMN operator_name"},
        {4, "ALTER TABLE tarvo_records DROP COLUMN lot"},
        {3, "ALTER TABLE tarvo_records DROP COLUMN tool_version"},
        {3, "ALTER TABLE tarvo_records DROP COLUMN fuse_value"},
        {3, "ALTER TABLE tarvo_records DROP COLUMN scanned_code"},
        {2, "DROP INDEX tarvo_records_by_record_id"},
        {2, "ALTER TABLE tarvo_records DROP COLUMN record_id"},
        {2, "ALTER TABLE tarvo_reservations DROP COLUMN reason"},
    };
    const On here = location.startsWith(QLatin1String("postgresql://")) ? On::Postgres : On::Sqlite;
    for (const Added &a : added) {
        if (a.version <= version || (a.on != On::Both && a.on != here))
            continue;
        scalar(location, QLatin1String(a.undo), error);
        if (error && !error->isEmpty())
            return false;
    }
    scalar(location, QStringLiteral("UPDATE tarvo_schema SET version = %1").arg(version), error);
    return !error || error->isEmpty();
}

TestServer::TestServer(const QString &dir) : m_dir(dir) {}

TestServer::~TestServer()
{
    if (m_started)
        script(QStringLiteral("stop"), nullptr);
}

bool TestServer::start(QString *error)
{
    m_started = script(QStringLiteral("start"), error);
    return m_started;
}

bool TestServer::halt(QString *error)
{
    return script(QStringLiteral("halt"), error);
}

bool TestServer::crash(QString *error)
{
    return script(QStringLiteral("crash"), error);
}

bool TestServer::resume(QString *error)
{
    return script(QStringLiteral("resume"), error);
}

bool TestServer::script(const QString &action, QString *error)
{
    QProcess process;
    process.start(QStringLiteral(TARVO_PG_SCRIPT), {action, m_dir});
    const bool ok = process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (!ok && error)
        *error = QString::fromLocal8Bit(process.readAllStandardError()) + process.errorString();
    return ok;
}
