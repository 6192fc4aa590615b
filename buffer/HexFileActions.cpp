#include "HexFileActions.h"

#include "BufferRange.h"
#include "HexFileLoader.h"
#include "HexFileWriter.h"

#include <QFileInfo>
#include <QSaveFile>

namespace HexFileActions {

QString Text::damagedRecords(int firstLine, int count)
{
    return QStringLiteral("Checksum Or Format Error In Line %1 (%2 %3)")
        .arg(firstLine)
        .arg(count)
        .arg(count == 1 ? QStringLiteral("Line") : QStringLiteral("Lines"));
}

QString bareFileName(const QString &path)
{
    const qsizetype cut = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    return path.mid(cut + 1);
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

bool SaveHexFile(const QString &path, const MemoryBuffer &buffer, const SelectionState &selection,
                 Prompter &prompter)
{
    if (path.isEmpty())
        return false;
    if (QFileInfo::exists(path) && !prompter.confirm(Text::Overwrite))
        return false;

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        prompter.error(file.errorString());
        return false;
    }
    const QByteArray content = HexFileWriter::image(buffer, BufferRange::saveEnd(buffer, selection));
    if (file.write(content) != content.size()) {
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
