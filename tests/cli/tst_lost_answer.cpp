// Answers of the PostgreSQL server lost on the way back to tarvo-cli (the
// server did the work, the bench's connection ended before it heard so):
// the bench retries, and the record and the serial number stay right.
#include "AnswerCutter.h"
#include "CliProcess.h"
#include "EmulatorReceived.h"
#include "ProductionEmulator.h"
#include "TestDatabase.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

namespace {


} // namespace

class TestLostAnswer : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    TestDatabase m_databases;
    QString m_hex;
    QString m_proxyDir;

private slots:
    void initTestCase()
    {
        QVERIFY2(!TestDatabase::sharedServer().isEmpty(), "TARVO_TEST_PG_DIR is not set: run under CTest");
        // An image that leaves the serial number's bytes (7F0-7F3) free.
        m_hex = m_dir.filePath(QStringLiteral("low.hex"));
        QVERIFY(writeImageBelowSerial(m_hex));
        // The bench signs in through the proxy's folder with the server's password.
        m_proxyDir = m_dir.filePath(QStringLiteral("proxy"));
        QVERIFY(QDir().mkdir(m_proxyDir));
        QFile server(TestDatabase::sharedServer() + QStringLiteral("/pgpass"));
        QVERIFY(server.open(QIODevice::ReadOnly));
        const QByteArray line = server.readAll();
        QFile both(m_dir.filePath(QStringLiteral("pgpass")));
        QVERIFY(both.open(QIODevice::WriteOnly));
        both.write(line + QByteArray(line).replace(TestDatabase::sharedServer().toLocal8Bit(), m_proxyDir.toLocal8Bit()));
        both.close();
        QVERIFY(both.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    }

    void answerLost_data()
    {
        QTest::addColumn<QByteArray>("query");
        QTest::addColumn<QByteArray>("tag");
        // The record: a single INSERT, committed before its answer goes out.
        QTest::newRow("record insert") << QByteArray("INSERT INTO tarvo_records") << QByteArray("INSERT");
        // The number's commit: its reservation set to used.
        QTest::newRow("serial commit") << QByteArray("SET state = 'used'") << QByteArray("UPDATE");
        // The reservation's transaction: its COMMIT's answer.
        QTest::newRow("reservation commit") << QByteArray("INSERT INTO tarvo_reservations") << QByteArray("COMMIT");
    }
    void answerLost()
    {
        QFETCH(QByteArray, query);
        QFETCH(QByteArray, tag);
        const QString direct = m_databases.fresh(QStringLiteral("postgres"));
        qputenv("PGPASSFILE", m_dir.filePath(QStringLiteral("pgpass")).toLocal8Bit());
        const QString database = direct.mid(direct.lastIndexOf(QLatin1Char('/')) + 1);
        AnswerCutter cutter(TestDatabase::sharedServer(), m_proxyDir);
        QString error;
        QVERIFY2(cutter.start(&error), qPrintable(error));
        cutter.arm(query, tag);

        auto emu = startEmulator();
        const auto r = CliProcess::run({"--port", emu->slavePath(), "--device", "AT89C2051", "--file", m_hex, "--db",
                                        TestDatabase::postgresLocation(m_proxyDir, database), "--serial-sequence",
                                        "board", "--serial", "7F0:1", "program"},
                                       {}, 60000);
        QVERIFY(r.finished);
        QCOMPARE(cutter.cuts(), 1);
        QVERIFY(cutter.connections() >= 2);
        QVERIFY2(r.exitCode == 0, r.err.constData());

        // The record is there once, under the bench's id.
        const auto count = [&direct](const QString &sql) { return TestDatabase::scalar(direct, sql).toInt(); };
        QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM tarvo_records")), 1);
        QCOMPARE(count(QStringLiteral("SELECT COUNT(DISTINCT record_id) FROM tarvo_records WHERE passed = 1")), 1);
        // Counted once: the retry found its record there and added no count.
        QCOMPARE(TestDatabase::countedDevices(direct), 1);
        // The number in the device is the record's, used once.
        QVERIFY(EmulatorReceived::endsWith(*emu, char(0x05)));
        const quint32 inFlash = qFromLittleEndian<quint32>(serialInFlash(*emu).constData());
        QCOMPARE(TestDatabase::scalar(direct, QStringLiteral("SELECT serial FROM tarvo_records")).toString(),
                 QString::number(inFlash));
        QCOMPARE(TestDatabase::scalar(direct, QStringLiteral("SELECT state FROM tarvo_reservations WHERE number = %1")
                                                  .arg(inFlash))
                     .toString(),
                 QStringLiteral("used"));
        QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM tarvo_reservations WHERE state = 'used'")), 1);
    }
};

QTEST_GUILESS_MAIN(TestLostAnswer)
#include "tst_lost_answer.moc"
