#include "StoreFactory.h"

#include "LogFileStore.h"
#include "MemorySerialSource.h"
#include "SerialStateFile.h"

std::unique_ptr<RecordStore> StoreFactory::recordStore(const StoreOptions &options, QString *error)
{
    error->clear();
    if (options.logFile.isEmpty())
        return nullptr;
    return std::make_unique<LogFileStore>(options.logFile);
}

std::unique_ptr<SerialSource> StoreFactory::serialSource(const StoreOptions &options, QString *error)
{
    error->clear();
    if (!options.serial)
        return nullptr;
    if (options.serialStateFile.isEmpty())
        return std::make_unique<MemorySerialSource>(options.serial->start, options.serial->step);
    return std::make_unique<SerialStateFile>(options.serialStateFile, options.serial->start, options.serial->step);
}
