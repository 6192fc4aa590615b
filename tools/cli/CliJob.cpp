#include "CliJob.h"

#include "CliOptions.h"
#include "CliOutput.h"
#include "DeviceCatalogue.h"
#include "ExitCode.h"
#include "ImageFileLoader.h"
#include "JobFile.h"
#include "ProductionCycle.h"

#include <QFileInfo>
#include <QTextStream>

#include <cstdio>

namespace {

void printLine(const QString &line)
{
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
}

// The commands as a job keeps them: "auto" alone is the empty list.
QStringList commandWords(const QList<CliCommand> &commands)
{
    QStringList words;
    for (const CliCommand &c : commands)
        words << (c.kind == CliCommand::Kind::FuseWrite
                      ? c.name() + QLatin1Char(' ') + QString::number(c.fuseValue, 16).toUpper().rightJustified(2, QLatin1Char('0'))
                      : c.name());
    if (words == QStringList{QStringLiteral("auto")})
        words.clear();
    return words;
}

QString readPin()
{
    QTextStream in(stdin);
    return in.readLine();
}

QString askText(JobFile::Ask ask)
{
    switch (ask) {
    case JobFile::Ask::Optional:
        return QStringLiteral("asked, may be left empty");
    case JobFile::Ask::Required:
        return QStringLiteral("asked, required");
    case JobFile::Ask::No:
        break;
    }
    return QStringLiteral("not asked");
}

} // namespace

int CliJob::save(const CliOptions &o, CliOutput &output)
{
    if (!DeviceCatalogue::names().contains(o.device)) {
        output.usageError(QStringLiteral("unknown device \"%1\"").arg(o.device));
        return ExitCode::UsageOrFile;
    }
    // Only a good image goes into a job.
    MemoryBuffer buffer;
    const ImageFileLoader::Result image = ImageFileLoader::loadFile(o.file, buffer, o.binaryOffset());
    if (!image.ok()) {
        output.usageError(QStringLiteral("%1: refused, %2").arg(o.file, image.opened ? image.read.error : image.openError));
        return ExitCode::UsageOrFile;
    }
    QString error;
    JobFile job;
    job.name = o.jobName.isEmpty() ? QFileInfo(o.saveJob).completeBaseName() : o.jobName;
    job.device = o.device;
    job.image = JobFile::relativePath(o.saveJob, o.file);
    job.imageSha256 = JobFile::sha256OfFile(o.file, &error);
    if (job.imageSha256.isEmpty()) {
        output.usageError(QStringLiteral("%1: %2").arg(o.file, error));
        return ExitCode::UsageOrFile;
    }
    if (const auto offset = o.binaryOffset())
        job.imageOffset = uint16_t(*offset);
    job.commands = commandWords(o.commands);
    if (o.stores.serial) {
        JobFile::Serial serial;
        serial.format = *o.stores.serial;
        serial.stateFile = JobFile::storedLocation(o.saveJob, o.stores.serialStateFile);
        serial.sequence = o.stores.serialSequence;
        serial.failed = o.retireFailed() ? JobFile::FailedNumber::Retire : JobFile::FailedNumber::Reuse;
        job.serial = serial;
    }
    job.logFile = JobFile::storedLocation(o.saveJob, o.stores.logFile);
    job.database = JobFile::storedLocation(o.saveJob, o.stores.database);
    job.devices = o.jobDevices.toInt();
    job.stopAfterFailures = o.jobStopAfter.toInt();
    job.askOperator = JobFile::askOf(o.jobAskOperator).value_or(JobFile::Ask::No);
    job.askLot = JobFile::askOf(o.jobAskLot).value_or(JobFile::Ask::No);
    job.scan = o.jobScan;
    if (o.jobPin) {
        const QString pin = readPin();
        if (pin.isEmpty()) {
            output.usageError(QStringLiteral("--job-pin: no PIN on the first line of standard input"));
            return ExitCode::UsageOrFile;
        }
        job.setPin(pin);
    }
    // What is written must read back: the same checks as a job opened.
    if (!JobFile::fromJson(job.toJson(), &error)) {
        output.usageError(QStringLiteral("%1: %2").arg(o.saveJob, error));
        return ExitCode::UsageOrFile;
    }
    if (!job.save(o.saveJob, &error)) {
        output.usageError(error);
        return ExitCode::UsageOrFile;
    }
    output.note(QStringLiteral("Job saved: %1 (image %2, SHA-256 %3)").arg(o.saveJob, job.image, job.imageSha256));
    return ExitCode::Passed;
}

int CliJob::open(CliOptions &o, CliOutput &output)
{
    const auto refuse = [&output](const QString &text) {
        output.usageError(text);
        return ExitCode::UsageOrFile;
    };
    QString error;
    const std::optional<JobFile> job = JobFile::load(o.job, &error);
    if (!job)
        return refuse(error);
    // What this program cannot do yet is refused rather than left out.
    if (job->scan && o.mode == CliOptions::Mode::Fleet)
        return refuse(QStringLiteral("%1: the job scans a code for each device, which takes one port").arg(o.job));
    const QList<std::tuple<JobFile::Ask, QString, const char *>> asked{
        {job->askOperator, o.operatorName, "--operator"}, {job->askLot, o.lot, "--lot"}};
    for (const auto &[ask, value, option] : asked) {
        if (ask == JobFile::Ask::Required && value.isEmpty())
            return refuse(QStringLiteral("the job requires %1").arg(QLatin1String(option)));
        if (ask == JobFile::Ask::No && !value.isEmpty())
            return refuse(QStringLiteral("%1: the job does not ask for it").arg(QLatin1String(option)));
    }

    if (o.mode == CliOptions::Mode::Fleet && job->serial && job->serial->stateFile.isEmpty() && job->serial->sequence.isEmpty())
        return refuse(QStringLiteral("%1: several ports need the job's serial numbers in a state file or a database "
                                     "sequence, so that no number is given twice").arg(o.job));
    o.beforeJob = std::make_shared<const CliOptions>(o);
    o.device = job->device;
    o.file = job->imagePath(o.job);
    o.fileOffset = job->imageOffset ? QString::number(*job->imageOffset, 16) : QString();
    o.jobImageSha256 = job->imageSha256;
    o.openJobName = job->name;
    o.jobFileSha256 = job->fileSha256;
    if (!ProductionCycle::imageUnchanged(o.file, o.jobImageSha256, &error))
        return refuse(error);
    o.commands.clear();
    for (const QString &word : job->commands.isEmpty() ? QStringList{QStringLiteral("auto")} : job->commands) {
        const QStringList parts = word.split(QLatin1Char(' '));
        const auto kind = CliCommand::kindOf(parts.first());
        CliCommand command;
        if (!kind || (*kind == CliCommand::Kind::FuseWrite) != (parts.size() == 2) || parts.size() > 2)
            return refuse(QStringLiteral("%1: \"commands\": \"%2\" is no command").arg(o.job, word));
        command.kind = *kind;
        if (parts.size() == 2) {
            const auto value = CliCommand::parseFuseValue(parts.at(1));
            if (!value)
                return refuse(QStringLiteral("%1: \"commands\": \"%2\" has no fuse value").arg(o.job, word));
            command.fuseValue = *value;
        }
        o.commands << command;
    }
    o.stores = job->stores(o.job);
    o.serialFailed = job->retireFailed() ? QStringLiteral("retire") : QString();
    o.repeat = true;
    o.jobScan = job->scan;
    o.jobDevices = job->devices > 0 ? QString::number(job->devices) : QString();
    o.jobStopAfter = job->stopAfterFailures > 0 ? QString::number(job->stopAfterFailures) : QString();
    output.detail(QStringLiteral("Job %1: %2, image %3 (SHA-256 %4)").arg(o.job, job->name, o.file, o.jobImageSha256));
    return ExitCode::Passed;
}

int CliJob::show(const CliOptions &o, CliOutput &output)
{
    QString error;
    const std::optional<JobFile> job = JobFile::load(o.showJob, &error);
    if (!job) {
        output.usageError(error);
        return ExitCode::UsageOrFile;
    }
    const QString imagePath = job->imagePath(o.showJob);
    QString why;
    const QString now = JobFile::sha256OfFile(imagePath, &why);
    const bool same = now == job->imageSha256;

    printLine(QStringLiteral("Job:            %1").arg(job->name));
    printLine(QStringLiteral("Device:         %1").arg(job->device));
    printLine(QStringLiteral("Image:          %1 (%2)%3")
                  .arg(job->image, imagePath,
                       job->imageOffset ? QStringLiteral(", a raw binary from %1").arg(ImageRead::addressText(*job->imageOffset))
                                        : QString()));
    printLine(QStringLiteral("  SHA-256 kept: %1").arg(job->imageSha256));
    printLine(QStringLiteral("  SHA-256 now:  %1")
                  .arg(now.isEmpty() ? QStringLiteral("none, %1").arg(why)
                                     : now + (same ? QStringLiteral(" (the same)") : QStringLiteral(" (CHANGED)"))));
    printLine(QStringLiteral("Commands:       %1").arg(job->commands.isEmpty() ? QStringLiteral("auto") : job->commands.join(QLatin1Char(' '))));
    if (job->serial) {
        const SerialFormat &f = job->serial->format;
        const QString source = !job->serial->stateFile.isEmpty() ? QStringLiteral("state file %1").arg(job->serial->stateFile)
                               : !job->serial->sequence.isEmpty() ? QStringLiteral("database sequence %1").arg(job->serial->sequence)
                                                                  : QStringLiteral("kept for one run only");
        printLine(QStringLiteral("Serial numbers: at %1 from %2 by %3, %4 in %5 bytes, %6; a failed device's number is %7")
                      .arg(ImageRead::addressText(f.address))
                      .arg(f.start)
                      .arg(f.step)
                      .arg(SerialFormat::formName(f.form))
                      .arg(f.bytes)
                      .arg(source, job->serial->failed == JobFile::FailedNumber::Retire ? QStringLiteral("retired")
                                                                                          : QStringLiteral("given again")));
    } else {
        printLine(QStringLiteral("Serial numbers: none"));
    }
    printLine(QStringLiteral("Records:        %1")
                  .arg(!job->logFile.isEmpty()    ? QStringLiteral("log file %1").arg(job->logFile)
                       : !job->database.isEmpty() ? QStringLiteral("database %1").arg(job->database)
                                                  : QStringLiteral("none")));
    printLine(QStringLiteral("Devices:        %1; %2")
                  .arg(job->devices == 0 ? QStringLiteral("unlimited") : QString::number(job->devices),
                       job->stopAfterFailures == 0 ? QStringLiteral("failures never stop the run")
                                                   : QStringLiteral("stops after %1 failed in a row").arg(job->stopAfterFailures)));
    printLine(QStringLiteral("Operator name:  %1").arg(askText(job->askOperator)));
    printLine(QStringLiteral("Lot:            %1").arg(askText(job->askLot)));
    printLine(QStringLiteral("Scanned code:   %1").arg(job->scan ? QStringLiteral("required for each device") : QStringLiteral("not asked")));
    printLine(QStringLiteral("Engineer PIN:   %1").arg(job->pin ? QStringLiteral("set") : QStringLiteral("none")));
    if (!same) {
        output.usageError(now.isEmpty() ? QStringLiteral("the job's image %1 cannot be read: %2").arg(imagePath, why)
                                        : QStringLiteral("the job's image %1 has changed since the job was saved").arg(imagePath));
        return ExitCode::UsageOrFile;
    }
    return ExitCode::Passed;
}
