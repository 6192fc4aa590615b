#include "HexFileActions.h"

#include "BufferRange.h"
#include "HexFileLoader.h"
#include "HexFileWriter.h"

#include <QFileInfo>
#include <QSaveFile>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace HexFileActions {

QString Text::damagedRecords(int firstLine, int count)
{
    if (count == 1)
        return QStringLiteral("Checksum Or Format Error In Line %1").arg(firstLine);
    return QStringLiteral("Checksum Or Format Error In %1 Lines, First In Line %2").arg(count).arg(firstLine);
}

QString bareFileName(const QString &path)
{
    // Folders end at a slash only: a backslash is part of a file's name.
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

OpenOutcome OpenHexFile(const QString &path, MemoryBuffer &buffer, const SelectionState &selection,
                        Prompter &prompter)
{
    OpenOutcome outcome;
    const HexFileLoader::Result result = HexFileLoader::loadFile(path, buffer);
    if (!result.opened) {
        prompter.error(Text::OpenError);
        return outcome;
    }
    outcome.opened = true;
    outcome.formatError = result.formatError;
    outcome.damagedCount = result.damagedCount;
    if (result.dataStored) {
        outcome.showBufferEnd = true;
        outcome.bufferEndText = BufferRange::addressText(buffer.BufferEnd);
    }
    if (result.formatError)
        prompter.error(Text::FormatError);
    if (result.readError) {
        prompter.error(result.readErrorText);
        return outcome;
    }

    outcome.finished = true;
    buffer.FileLoaded = true;
    outcome.enableBufferCommands = selection.DeviceSelected;
    if (result.damagedCount > 0)
        prompter.warning(Text::damagedRecords(result.firstDamagedLine, result.damagedCount));
    if (selection.DeviceSelected && selection.SelectedDevice.deviceEnd() < buffer.BufferEnd)
        prompter.warning(Text::EndOverDevice);
    outcome.bufferSumText = BufferRange::checksumText(buffer, BufferRange::viewLimit(buffer, selection));
    return outcome;
}

namespace {

// Writes all of content or fails with the system's own text. A write that
// stops short (a disk filling up, a file-size limit) reports no error by
// itself: the next write is the one that names the cause.
bool writeAll(QFileDevice &file, const QByteArray &content)
{
    qint64 done = 0;
    while (done < content.size()) {
        const qint64 n = file.write(content.constData() + done, content.size() - done);
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// A device file (such as a tty or /dev/full) is written into: replacing it
// would put a plain file where the device was. A pipe is not: opening one
// without a reader would hang the program.
bool isDevice(const QString &path)
{
#ifdef Q_OS_UNIX
    struct stat info{};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode));
#else
    Q_UNUSED(path);
    return false;
#endif
}

bool writeInto(const QString &path, const QByteArray &content, Prompter &prompter)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || !writeAll(file, content)) {
        prompter.error(file.errorString());
        return false;
    }
    return true;
}

} // namespace

bool SaveHexFile(const QString &path, const MemoryBuffer &buffer, const SelectionState &selection,
                 Prompter &prompter)
{
    if (path.isEmpty())
        return false;
    if (QFileInfo::exists(path) && !prompter.confirm(Text::Overwrite))
        return false;

    const QByteArray content = HexFileWriter::image(buffer, BufferRange::saveEnd(buffer, selection));
    if (isDevice(path))
        return writeInto(path, content, prompter);

    QSaveFile file(path);
    // Unbuffered: every failure shows up at a write, with its cause.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        prompter.error(file.errorString());
        return false;
    }
    if (!writeAll(file, content)) {
        const QString why = file.errorString();
        file.cancelWriting();
        prompter.error(why);
        return false;
    }
    if (!file.commit()) {
        prompter.error(file.errorString());
        return false;
    }
    return true;
}

} // namespace HexFileActions
