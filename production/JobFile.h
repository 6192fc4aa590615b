#pragma once

#include "SerialFormat.h"
#include "StoreOptions.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// A production job as the engineer sets it up once (a `.tarvojob` file,
// JSON, versioned): the device, the image with its SHA-256, the commands,
// serial numbering, where records go, how many devices, what the operator
// is asked, and an optional PIN kept as a salted PBKDF2 hash. The port is
// never part of a job: it belongs to the bench.
//
// Reading refuses a damaged file, an unknown version and a job whose parts
// contradict each other, with a text naming the key.
class JobFile
{
public:
    static constexpr int Version = 1;
    // PBKDF2-HMAC-SHA256 rounds of a new PIN hash.
    static constexpr int PinIterations = 100000;

    enum class Ask { No, Optional, Required };
    // What happens to the number of a device that failed.
    enum class FailedNumber { Reuse, Retire };

    struct Serial
    {
        SerialFormat format;
        // Exactly one of them, or neither (numbers kept in memory for one run).
        QString stateFile;
        QString sequence;
        FailedNumber failed = FailedNumber::Reuse;
    };

    struct Pin
    {
        int iterations = PinIterations;
        QByteArray salt;
        QByteArray hash;
    };

    QString name;
    QString device;
    // The image, relative to the job file's folder, and its SHA-256 (hex).
    QString image;
    QString imageSha256;
    // A raw binary stored from this address.
    std::optional<uint16_t> imageOffset;
    // Empty: the device's Auto Program; otherwise the commands in order.
    QStringList commands;
    std::optional<Serial> serial;
    // At most one of them.
    QString logFile;
    QString database;
    // 0: unlimited; stopAfterFailures 0: never stop for failures.
    int devices = 0;
    int stopAfterFailures = 0;
    Ask askOperator = Ask::No;
    Ask askLot = Ask::No;
    bool scan = false;
    std::optional<Pin> pin;
    // Set by load(): the SHA-256 (hex) of the file's bytes as read, which
    // the records of its devices carry.
    QString fileSha256;

    QByteArray toJson() const;
    static std::optional<JobFile> fromJson(const QByteArray &json, QString *error);

    // Written whole (a temporary file beside it, then renamed).
    bool save(const QString &path, QString *error) const;
    static std::optional<JobFile> load(const QString &path, QString *error);

    // Files named in a job (image, log, state file, SQLite database) are
    // kept relative to the job file's folder, so a job moves with its files.
    QString imagePath(const QString &jobPath) const { return resolvedPath(jobPath, image); }
    static QString resolvedPath(const QString &jobPath, const QString &stored);
    static QString relativePath(const QString &jobPath, const QString &path);
    // SHA-256 (hex) of a file's content; empty with error when unreadable.
    static QString sha256OfFile(const QString &path, QString *error);

    // Where the job's records and numbers go, its files resolved against
    // the job file's folder (a server's location as it stands).
    StoreOptions stores(const QString &jobPath) const;
    // A store's file or location as a job at jobPath keeps it, which
    // stores() reads back: empty stays empty, a server's location (with
    // "://") as it stands, a file relative to the job file's folder.
    static QString storedLocation(const QString &jobPath, const QString &location);
    bool retireFailed() const { return serial && serial->failed == FailedNumber::Retire; }

    // A fresh random salt and the PIN's hash; pinMatches checks one typed.
    void setPin(const QString &pin);
    bool pinMatches(const QString &pin) const;

    static QString askName(Ask ask);
    static std::optional<Ask> askOf(const QString &name);
};
