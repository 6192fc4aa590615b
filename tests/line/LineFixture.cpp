#include "LineFixture.h"

#include "DeviceRecord.h"
#include "SerialFormat.h"
#include "SqlRecordStore.h"
#include "SqlSerialSequence.h"

namespace {

// The status texts a run shows, as the window words them.
QStringList outcomeOf(const QString &failedStep)
{
    if (failedStep.isEmpty())
        return {QStringLiteral("Erase.........Pass"), QStringLiteral("Program.......Pass"), QStringLiteral("Verify........Pass")};
    QString text = failedStep.left(1).toUpper() + failedStep.mid(1);
    text = text.leftJustified(14, QLatin1Char('.')) + QStringLiteral("Fail:01A3");
    return {text, QStringLiteral("Command......Abort")};
}

} // namespace

LineFixture::LineFixture(const QString &location)
    : m_database(std::make_shared<ProductionDatabase>(DatabaseLocation::parse(location)))
{
}

bool LineFixture::open(QString *error)
{
    return m_database->open(error);
}

bool LineFixture::add(const Device &d, QString *error)
{
    DeviceRecord r;
    r.time = d.time;
    r.host = d.host;
    r.portEntry = d.port;
    r.portPath = QStringLiteral("/dev/ttyUSB0");
    r.biosCode = QStringLiteral("15/08/2003");
    r.device = d.device;
    r.commands = {QStringLiteral("erase"), QStringLiteral("program"), QStringLiteral("verify")};
    r.fileName = d.file;
    r.imageSha256 = QString(64, QLatin1Char('a'));
    r.bufferChecksum = QStringLiteral("1A2BH");
    r.serial = d.serial;
    r.serialText = QString::number(d.serial);
    r.outcome = outcomeOf(d.failedStep);
    r.passed = d.failedStep.isEmpty();
    r.durationMs = 4200;
    r.version = QStringLiteral("3.03");
    r.jobName = d.job;
    r.jobSha256 = QString(64, QLatin1Char('b'));
    r.operatorName = d.operatorName;
    r.lot = d.lot;
    SqlRecordStore store(m_database);
    return store.open(error) && store.append(r, error);
}

bool LineFixture::setBench(const BenchRow &row, QString *error)
{
    if (BenchBoard::write(*m_database, row, 4242))
        return true;
    *error = m_database->faultText(m_database->lastFault());
    return false;
}

bool LineFixture::retire(const QString &sequence, const QString &reason, QString *error)
{
    SerialFormat form;
    form.address = 0x7F0;
    form.start = 5000;
    SqlSerialSequence numbers(m_database, sequence, form);
    if (!numbers.open(error))
        return false;
    const std::optional<quint64> number = numbers.reserve(error);
    return number && numbers.markWritten(*number, error) && numbers.retire(*number, reason, error);
}
