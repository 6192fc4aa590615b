#pragma once

#include "ProductionDatabase.h"

#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUrl>

// The PostgreSQL server of a production benchmark, made by the tests'
// script (tests/support/pg-test-server) with fsync on, as a line runs it:
// every commit on disk before it returns. Stopped when it goes.
class BenchServer
{
public:
    BenchServer()
    {
        qputenv("TARVO_PG_FSYNC", "on");
        if (!run(QStringLiteral("start")))
            qFatal("the PostgreSQL server did not start");
        qputenv("PGPASSFILE", (m_dir.path() + QStringLiteral("/pgpass")).toLocal8Bit());
    }
    ~BenchServer() { run(QStringLiteral("stop")); }
    BenchServer(const BenchServer &) = delete;
    BenchServer &operator=(const BenchServer &) = delete;

    QString location() const
    {
        return QStringLiteral("postgresql://tarvo@%1/tarvo").arg(QString::fromLatin1(QUrl::toPercentEncoding(m_dir.path())));
    }

    // An action of the script on this server: start, stop, crash, resume, ...
    bool run(const QString &action) const
    {
        QProcess p;
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.start(QStringLiteral(TARVO_PG_SCRIPT), {action, m_dir.path()});
        return p.waitForFinished(120000) && p.exitCode() == 0;
    }

    // One number a query answers; the benchmark ends on a failed query.
    static qint64 scalar(ProductionDatabase &db, const QString &sql)
    {
        QSqlQuery q = db.newQuery();
        if (!db.exec(q, sql) || !q.next())
            qFatal("%s: %s", qPrintable(sql), qPrintable(db.lastFault()));
        return q.value(0).toLongLong();
    }

private:
    QTemporaryDir m_dir{QStringLiteral("/tmp/tarvo-bench-pg-XXXXXX")};
};
