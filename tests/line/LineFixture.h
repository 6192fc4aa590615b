#pragma once

#include "BenchBoard.h"
#include "ProductionDatabase.h"

#include <QDateTime>
#include <QString>
#include <memory>

// A production database as benches leave it, for the dashboard's tests
// and benchmark: records, bench rows and retired numbers written through
// production/'s own writers.
class LineFixture
{
public:
    struct Device
    {
        QDateTime time = QDateTime::currentDateTime();
        QString host = QStringLiteral("bench-1");
        QString port = QStringLiteral("Com1");
        QString device = QStringLiteral("AT89C2051");
        QString job = QStringLiteral("blink");
        QString lot = QStringLiteral("L1");
        QString operatorName = QStringLiteral("Somchai");
        QString file = QStringLiteral("/srv/fw/blink.hex");
        // Empty: passed; else the command that failed ("verify").
        QString failedStep;
        quint64 serial = 1000;
    };

    explicit LineFixture(const QString &location);
    bool open(QString *error);

    bool add(const Device &device, QString *error);
    bool setBench(const BenchRow &row, QString *error);
    // A number of sequence retired with reason (reserved, written, retired).
    bool retire(const QString &sequence, const QString &reason, QString *error);

    ProductionDatabase &database() { return *m_database; }
    std::shared_ptr<ProductionDatabase> shared() { return m_database; }

private:
    std::shared_ptr<ProductionDatabase> m_database;
};
