#include "JobFile.h"

#include "DurableFile.h"
#include "Pbkdf2.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>

#include <cmath>

namespace {

// The keys of the file, one place each.
namespace Key {
const QString Version = QStringLiteral("tarvojob");
const QString Name = QStringLiteral("name");
const QString Device = QStringLiteral("device");
const QString Image = QStringLiteral("image");
const QString Path = QStringLiteral("path");
const QString Sha256 = QStringLiteral("sha256");
const QString Offset = QStringLiteral("offset");
const QString Commands = QStringLiteral("commands");
const QString Serial = QStringLiteral("serial");
const QString Address = QStringLiteral("address");
const QString Start = QStringLiteral("start");
const QString Step = QStringLiteral("step");
const QString Form = QStringLiteral("form");
const QString Width = QStringLiteral("width");
const QString StateFile = QStringLiteral("stateFile");
const QString Sequence = QStringLiteral("sequence");
const QString Failed = QStringLiteral("failed");
const QString Records = QStringLiteral("records");
const QString Log = QStringLiteral("log");
const QString Database = QStringLiteral("database");
const QString Devices = QStringLiteral("devices");
const QString StopAfterFailures = QStringLiteral("stopAfterFailures");
const QString Ask = QStringLiteral("ask");
const QString Operator = QStringLiteral("operator");
const QString Lot = QStringLiteral("lot");
const QString Scan = QStringLiteral("scan");
const QString Pin = QStringLiteral("pin");
const QString Kdf = QStringLiteral("kdf");
const QString Iterations = QStringLiteral("iterations");
const QString Salt = QStringLiteral("salt");
const QString Hash = QStringLiteral("hash");
} // namespace Key

const QString Auto = QStringLiteral("auto");
const QString Unlimited = QStringLiteral("unlimited");
const QString KdfName = QStringLiteral("pbkdf2-sha256");

QString hex4(uint16_t value)
{
    return QString::number(value, 16).toUpper().rightJustified(4, QLatin1Char('0'));
}

// Reads one object's keys, each taken once; what is left over is unknown.
// The first problem is kept, with the key's path ("serial.width").
class Reader
{
public:
    Reader(const QJsonObject &object, QString prefix, QString *error)
        : m_object(object), m_prefix(std::move(prefix)), m_error(error)
    {
    }

    bool failed() const { return !m_error->isEmpty(); }
    QString path(const QString &key) const { return m_prefix + key; }

    void fail(const QString &key, const QString &why)
    {
        if (m_error->isEmpty())
            *m_error = QStringLiteral("\"%1\": %2").arg(path(key), why);
    }

    bool has(const QString &key) const { return m_object.contains(key); }

    QJsonValue take(const QString &key)
    {
        m_taken << key;
        return m_object.value(key);
    }

    QString string(const QString &key, bool required)
    {
        const QJsonValue v = take(key);
        if (v.isUndefined()) {
            if (required)
                fail(key, QStringLiteral("missing"));
            return {};
        }
        if (!v.isString() || v.toString().isEmpty())
            fail(key, QStringLiteral("must be a text that is not empty"));
        return v.toString();
    }

    // A whole number from min to max.
    qint64 number(const QString &key, qint64 min, qint64 max, qint64 absent)
    {
        const QJsonValue v = take(key);
        if (v.isUndefined())
            return absent;
        const double d = v.toDouble(-1);
        // The range first: a huge number has no qint64 to compare with.
        if (!v.isDouble() || d < double(min) || d > double(max) || d != std::floor(d)) {
            fail(key, QStringLiteral("must be a whole number from %1 to %2").arg(min).arg(max));
            return absent;
        }
        return qint64(d);
    }

    QJsonObject object(const QString &key)
    {
        const QJsonValue v = take(key);
        if (!v.isUndefined() && !v.isObject())
            fail(key, QStringLiteral("must be an object"));
        return v.toObject();
    }

    // Unknown keys are refused: a misspelt key would otherwise be a
    // setting silently lost.
    void finish()
    {
        for (const QString &key : m_object.keys())
            if (!m_taken.contains(key))
                fail(key, QStringLiteral("unknown key"));
    }

private:
    QJsonObject m_object;
    QString m_prefix;
    QString *m_error;
    QStringList m_taken;
};

std::optional<uint16_t> parseAddress(const QString &text)
{
    bool ok = false;
    const uint value = text.toUInt(&ok, 16);
    if (!ok || text.isEmpty() || text.size() > 4 || text.startsWith(QLatin1Char('+')))
        return std::nullopt;
    return uint16_t(value);
}

std::optional<JobFile::Ask> readAsk(Reader &r, const QString &key)
{
    const QString text = r.string(key, false);
    if (text.isEmpty())
        return JobFile::Ask::No;
    const auto ask = JobFile::askOf(text);
    if (!ask)
        r.fail(key, QStringLiteral("must be no, optional or required"));
    return ask;
}

std::optional<JobFile::Serial> readSerial(const QJsonObject &object, QString *error)
{
    Reader r(object, Key::Serial + QLatin1Char('.'), error);
    JobFile::Serial s;
    const auto address = parseAddress(r.string(Key::Address, true));
    if (!address)
        r.fail(Key::Address, QStringLiteral("must be an address in hex from 0000 to FFFF"));
    s.format.address = address.value_or(0);
    s.format.start = quint64(r.number(Key::Start, 0, qint64(1) << 53, 0));
    s.format.step = quint64(r.number(Key::Step, 1, qint64(1) << 53, 1));
    const QString form = r.string(Key::Form, true);
    const auto f = SerialFormat::formOf(form);
    if (!f && !r.failed())
        r.fail(Key::Form, QStringLiteral("must be le, be, ascii or bcd"));
    s.format.form = f.value_or(SerialFormat::Form::Le);
    s.format.bytes = int(r.number(Key::Width, 1, SerialFormat::maxBytes(s.format.form), 0));
    if (s.format.bytes == 0 && !r.failed())
        r.fail(Key::Width, QStringLiteral("missing"));
    if (!r.failed() && !s.format.fits(s.format.start))
        r.fail(Key::Start, QStringLiteral("does not fit %1 bytes of %2").arg(s.format.bytes).arg(form));
    s.stateFile = r.string(Key::StateFile, false);
    s.sequence = r.string(Key::Sequence, false);
    if (!s.stateFile.isEmpty() && !s.sequence.isEmpty())
        r.fail(Key::Sequence, QStringLiteral("the numbers come from a state file or a database sequence, not both"));
    const QString failed = r.string(Key::Failed, true);
    if (failed == QLatin1String("retire"))
        s.failed = JobFile::FailedNumber::Retire;
    else if (failed != QLatin1String("reuse") && !r.failed())
        r.fail(Key::Failed, QStringLiteral("must be reuse or retire"));
    r.finish();
    if (r.failed())
        return std::nullopt;
    return s;
}

} // namespace

QString JobFile::askName(Ask ask)
{
    switch (ask) {
    case Ask::Optional:
        return QStringLiteral("optional");
    case Ask::Required:
        return QStringLiteral("required");
    case Ask::No:
        break;
    }
    return QStringLiteral("no");
}

std::optional<JobFile::Ask> JobFile::askOf(const QString &name)
{
    for (const Ask ask : {Ask::No, Ask::Optional, Ask::Required})
        if (askName(ask) == name)
            return ask;
    return std::nullopt;
}

QByteArray JobFile::toJson() const
{
    QJsonObject o;
    o[Key::Version] = Version;
    o[Key::Name] = name;
    o[Key::Device] = device;
    QJsonObject img{{Key::Path, image}, {Key::Sha256, imageSha256}};
    if (imageOffset)
        img[Key::Offset] = hex4(*imageOffset);
    o[Key::Image] = img;
    o[Key::Commands] = commands.isEmpty() ? QJsonValue(Auto) : QJsonValue(QJsonArray::fromStringList(commands));
    if (serial) {
        const SerialFormat &f = serial->format;
        QJsonObject s{{Key::Address, hex4(f.address)},
                      {Key::Start, double(f.start)},
                      {Key::Step, double(f.step)},
                      {Key::Form, SerialFormat::formName(f.form)},
                      {Key::Width, f.bytes},
                      {Key::Failed, serial->failed == FailedNumber::Retire ? QStringLiteral("retire") : QStringLiteral("reuse")}};
        if (!serial->stateFile.isEmpty())
            s[Key::StateFile] = serial->stateFile;
        if (!serial->sequence.isEmpty())
            s[Key::Sequence] = serial->sequence;
        o[Key::Serial] = s;
    }
    if (!logFile.isEmpty())
        o[Key::Records] = QJsonObject{{Key::Log, logFile}};
    else if (!database.isEmpty())
        o[Key::Records] = QJsonObject{{Key::Database, database}};
    o[Key::Devices] = devices == 0 ? QJsonValue(Unlimited) : QJsonValue(devices);
    o[Key::StopAfterFailures] = stopAfterFailures;
    o[Key::Ask] = QJsonObject{{Key::Operator, askName(askOperator)}, {Key::Lot, askName(askLot)}};
    o[Key::Scan] = scan;
    if (pin)
        o[Key::Pin] = QJsonObject{{Key::Kdf, KdfName},
                                  {Key::Iterations, pin->iterations},
                                  {Key::Salt, QString::fromLatin1(pin->salt.toBase64())},
                                  {Key::Hash, QString::fromLatin1(pin->hash.toBase64())}};
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

std::optional<JobFile> JobFile::fromJson(const QByteArray &json, QString *error)
{
    QString problem;
    QJsonParseError parse{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parse);
    if (parse.error != QJsonParseError::NoError) {
        *error = QStringLiteral("not JSON at offset %1: %2").arg(parse.offset).arg(parse.errorString());
        return std::nullopt;
    }
    if (!doc.isObject()) {
        *error = QStringLiteral("not a job: the file holds no JSON object");
        return std::nullopt;
    }
    Reader r(doc.object(), QString(), &problem);
    JobFile job;
    const QJsonValue version = r.take(Key::Version);
    if (version.isUndefined()) {
        *error = QStringLiteral("\"%1\": missing: not a job file").arg(Key::Version);
        return std::nullopt;
    }
    if (version.toDouble() != Version) {
        *error = QStringLiteral("\"%1\": version %2 is not known (this program reads version %3)")
                     .arg(Key::Version, version.toVariant().toString())
                     .arg(Version);
        return std::nullopt;
    }
    job.name = r.string(Key::Name, true);
    job.device = r.string(Key::Device, true);

    if (!r.has(Key::Image))
        r.fail(Key::Image, QStringLiteral("missing"));
    Reader image(r.object(Key::Image), Key::Image + QLatin1Char('.'), &problem);
    job.image = image.string(Key::Path, true);
    job.imageSha256 = image.string(Key::Sha256, true);
    if (job.imageSha256.size() != 64
        || QByteArray::fromHex(job.imageSha256.toLatin1()).toHex() != job.imageSha256.toLatin1())
        image.fail(Key::Sha256, QStringLiteral("must be 64 hex digits in lower case"));
    if (image.has(Key::Offset)) {
        job.imageOffset = parseAddress(image.string(Key::Offset, true));
        if (!job.imageOffset)
            image.fail(Key::Offset, QStringLiteral("must be an address in hex from 0000 to FFFF"));
    }
    image.finish();

    const QJsonValue commands = r.take(Key::Commands);
    if (commands.isArray() && !commands.toArray().isEmpty()) {
        for (const QJsonValue &c : commands.toArray()) {
            if (!c.isString() || c.toString().isEmpty())
                r.fail(Key::Commands, QStringLiteral("every command must be a text"));
            job.commands << c.toString();
        }
    } else if (commands.toString() != Auto) {
        r.fail(Key::Commands, QStringLiteral("must be \"auto\" or a list of commands"));
    }

    if (r.has(Key::Serial))
        job.serial = readSerial(r.object(Key::Serial), &problem);

    if (r.has(Key::Records)) {
        Reader records(r.object(Key::Records), Key::Records + QLatin1Char('.'), &problem);
        job.logFile = records.string(Key::Log, false);
        job.database = records.string(Key::Database, false);
        if (!job.logFile.isEmpty() && !job.database.isEmpty())
            records.fail(Key::Database, QStringLiteral("records go to a log file or a database, not both"));
        records.finish();
    }

    const QJsonValue devices = r.take(Key::Devices);
    if (devices.toString() == Unlimited || devices.isUndefined())
        job.devices = 0;
    else if (devices.isDouble() && devices.toDouble() >= 1 && devices.toDouble() <= 1e9
             && devices.toDouble() == double(int(devices.toDouble())))
        job.devices = devices.toInt();
    else
        r.fail(Key::Devices, QStringLiteral("must be \"unlimited\" or a whole number from 1 on"));
    job.stopAfterFailures = int(r.number(Key::StopAfterFailures, 0, 1000000000, 0));

    if (r.has(Key::Ask)) {
        Reader ask(r.object(Key::Ask), Key::Ask + QLatin1Char('.'), &problem);
        job.askOperator = readAsk(ask, Key::Operator).value_or(Ask::No);
        job.askLot = readAsk(ask, Key::Lot).value_or(Ask::No);
        ask.finish();
    }
    const QJsonValue scan = r.take(Key::Scan);
    if (!scan.isUndefined() && !scan.isBool())
        r.fail(Key::Scan, QStringLiteral("must be true or false"));
    job.scan = scan.toBool();

    if (r.has(Key::Pin)) {
        Reader pin(r.object(Key::Pin), Key::Pin + QLatin1Char('.'), &problem);
        if (pin.string(Key::Kdf, true) != KdfName && problem.isEmpty())
            pin.fail(Key::Kdf, QStringLiteral("must be %1").arg(KdfName));
        Pin p;
        p.iterations = int(pin.number(Key::Iterations, 1000, 100000000, 0));
        if (p.iterations == 0)
            pin.fail(Key::Iterations, QStringLiteral("missing"));
        const auto base64 = [&](const QString &key, int minBytes) {
            const auto decoded =
                QByteArray::fromBase64Encoding(pin.string(key, true).toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
            if (!decoded || decoded.decoded.size() < minBytes)
                pin.fail(key, QStringLiteral("must be at least %1 bytes in base64").arg(minBytes));
            return decoded ? decoded.decoded : QByteArray();
        };
        p.salt = base64(Key::Salt, 16);
        p.hash = base64(Key::Hash, 32);
        pin.finish();
        job.pin = p;
    }
    r.finish();

    // Parts that contradict each other.
    if (problem.isEmpty() && job.serial) {
        const bool programs = job.commands.isEmpty() || job.commands.contains(QLatin1String("program"))
                              || job.commands.contains(QLatin1String("auto"));
        if (!programs)
            problem = QStringLiteral("\"serial\": needs program or auto among the commands");
        else if (!job.serial->sequence.isEmpty() && job.database.isEmpty())
            problem = QStringLiteral("\"serial.sequence\": needs \"records.database\"");
    }
    if (!problem.isEmpty()) {
        *error = problem;
        return std::nullopt;
    }
    return job;
}

bool JobFile::save(const QString &path, QString *error) const
{
    return DurableFile::replace(path, toJson(), error);
}

std::optional<JobFile> JobFile::load(const QString &path, QString *error)
{
    // A pipe or a device would block or never end: only plain files.
    const QFileInfo info(path);
    QFile file(path);
    if (info.exists() && !info.isFile()) {
        *error = QStringLiteral("%1: %2").arg(path, info.isDir() ? QStringLiteral("is a folder") : QStringLiteral("not a regular file"));
        return std::nullopt;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    // A job is a few hundred bytes; anything large is no job.
    const QByteArray json = file.read(1 << 20);
    QString why;
    auto job = fromJson(json, &why);
    if (!job)
        *error = QStringLiteral("%1: %2").arg(path, why);
    else
        job->fileSha256 = QString::fromLatin1(QCryptographicHash::hash(json, QCryptographicHash::Sha256).toHex());
    return job;
}

QString JobFile::resolvedPath(const QString &jobPath, const QString &stored)
{
    return QDir::cleanPath(QFileInfo(jobPath).absoluteDir().absoluteFilePath(stored));
}

QString JobFile::relativePath(const QString &jobPath, const QString &path)
{
    return QFileInfo(jobPath).absoluteDir().relativeFilePath(QFileInfo(path).absoluteFilePath());
}

QString JobFile::sha256OfFile(const QString &path, QString *error)
{
    const QFileInfo info(path);
    QFile file(path);
    if (info.exists() && !info.isFile()) {
        *error = QStringLiteral("not a regular file");
        return {};
    }
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return {};
    }
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file)) {
        *error = file.errorString();
        return {};
    }
    return QString::fromLatin1(hash.result().toHex());
}

void JobFile::setPin(const QString &text)
{
    Pin p;
    quint32 words[4];
    QRandomGenerator::system()->generate(std::begin(words), std::end(words));
    p.salt = QByteArray(reinterpret_cast<const char *>(words), sizeof words);
    p.hash = Pbkdf2::hmacSha256(text.toUtf8(), p.salt, p.iterations, 32);
    pin = p;
}

bool JobFile::pinMatches(const QString &text) const
{
    if (!pin)
        return true;
    const QByteArray typed = Pbkdf2::hmacSha256(text.toUtf8(), pin->salt, pin->iterations, int(pin->hash.size()));
    // Compared in full whatever differs first.
    char diff = 0;
    for (qsizetype k = 0; k < typed.size(); ++k)
        diff |= char(typed[k] ^ pin->hash[k]);
    return typed.size() == pin->hash.size() && diff == 0;
}

QString JobFile::storedLocation(const QString &jobPath, const QString &location)
{
    if (location.isEmpty() || location.contains(QLatin1String("://")))
        return location;
    return relativePath(jobPath, location);
}

StoreOptions JobFile::stores(const QString &jobPath) const
{
    StoreOptions o;
    if (serial) {
        o.serial = serial->format;
        if (!serial->stateFile.isEmpty())
            o.serialStateFile = resolvedPath(jobPath, serial->stateFile);
        o.serialSequence = serial->sequence;
    }
    if (!logFile.isEmpty())
        o.logFile = resolvedPath(jobPath, logFile);
    if (!database.isEmpty())
        o.database = database.contains(QLatin1String("://")) ? database : resolvedPath(jobPath, database);
    return o;
}
