#include "SerialStateFile.h"

#include "DurableFile.h"

#include <QDateTime>
#include <QFile>
#include <QSysInfo>
#include <fcntl.h>
#include <unistd.h>

SerialStateFile::SerialStateFile(const QString &path, const SerialFormat &format)
    : m_path(path)
    , m_format(format)
    , m_bench(BenchIdentity::current())
{
}

bool SerialStateFile::locked(const std::function<bool(SerialState &, QString *)> &change, QString *error)
{
    using namespace DurableFile;
    const QString lockPath = m_path + QStringLiteral(".lock");
    Descriptor lock;
    if (!openFile(lock, lockPath, O_RDWR | O_CREAT, error) || !lockExclusive(lock, lockPath, error))
        return false;

    SerialState state(m_format.start, m_format.step);
    QFile file(m_path);
    if (file.exists()) {
        if (!file.open(QIODevice::ReadOnly)) {
            *error = m_path + QStringLiteral(": ") + file.errorString();
            return false;
        }
        QString why;
        const std::optional<SerialState> read = SerialState::fromText(file.readAll(), m_format.step, &why);
        if (!read) {
            *error = m_path + QStringLiteral(": not a serial state file (") + why + QLatin1Char(')');
            return false;
        }
        state = *read;
        if (state.form && !(*state.form == m_format)) {
            *error = QStringLiteral("The serial state %1 keeps %2; the options ask for %3. Give the kept form, or "
                                    "start a new state file.")
                         .arg(m_path, state.form->describe(), m_format.describe());
            return false;
        }
    }
    state.form = m_format;
    state.reclaim(m_bench, SerialState::processAlive, QDateTime::currentMSecsSinceEpoch());
    if (!change(state, error))
        return false;
    return replace(m_path, state.toText(), error);
}

bool SerialStateFile::open(QString *error)
{
    // Writing the state back proves now that it can be written later.
    return locked([](SerialState &, QString *) { return true; }, error);
}

std::optional<quint64> SerialStateFile::peek(QString *error)
{
    std::optional<quint64> number;
    const bool ok = locked(
        [&number](SerialState &state, QString *why) {
            number = state.peek();
            if (!number)
                *why = SerialState::exhaustedText();
            return number.has_value();
        },
        error);
    return ok ? number : std::nullopt;
}

std::optional<quint64> SerialStateFile::reserve(QString *error)
{
    std::optional<quint64> number;
    const bool ok = locked(
        [&](SerialState &state, QString *why) {
            number = state.reserve(m_bench, QDateTime::currentMSecsSinceEpoch());
            if (!number)
                *why = SerialState::exhaustedText();
            return number.has_value();
        },
        error);
    return ok ? number : std::nullopt;
}

bool SerialStateFile::commit(quint64 number, QString *error)
{
    // A reservation already gone (the file edited by hand) needs no change.
    return locked([number](SerialState &state, QString *) { state.commit(number); return true; }, error);
}

bool SerialStateFile::release(quint64 number, QString *error)
{
    return locked([number](SerialState &state, QString *) { state.release(number); return true; }, error);
}

bool SerialStateFile::markWritten(quint64 number, QString *error)
{
    return locked(
        [number](SerialState &state, QString *why) {
            // Taken back while the device ran: the number may be someone
            // else's now, so it must not go out.
            if (state.markWritten(number))
                return true;
            *why = QStringLiteral("The serial number %1 is no longer reserved for this bench.").arg(number);
            return false;
        },
        error);
}

bool SerialStateFile::retire(quint64 number, const QString &reason, QString *error)
{
    return locked([&](SerialState &state, QString *) { state.retire(number, reason); return true; }, error);
}

std::optional<QList<SerialState::Retired>> SerialStateFile::retired(QString *error)
{
    QList<SerialState::Retired> list;
    const bool ok = locked([&list](SerialState &state, QString *) { list = state.retired(); return true; }, error);
    return ok ? std::optional(list) : std::nullopt;
}
