#include "StoreFactory.h"

#include "DatabaseLocation.h"
#include "LogFileStore.h"
#include "MemorySerialSource.h"
#include "ProductionDatabase.h"
#include "SerialStateFile.h"
#include "SqlRecordStore.h"
#include "SqlSerialSequence.h"

namespace {

// Each store holds its own connection: a bench has one or two.
std::shared_ptr<ProductionDatabase> database(const StoreOptions &options, QString *error)
{
    const DatabaseLocation location = DatabaseLocation::parse(options.database);
    if (!location.isValid()) {
        *error = location.error();
        return nullptr;
    }
    return std::make_shared<ProductionDatabase>(location);
}

} // namespace

std::unique_ptr<RecordStore> StoreFactory::recordStore(const StoreOptions &options, QString *error)
{
    error->clear();
    if (!options.database.isEmpty()) {
        std::shared_ptr<ProductionDatabase> db = database(options, error);
        if (!db)
            return nullptr;
        auto store = std::make_unique<SqlRecordStore>(db);
        store->setSequenceName(options.serialSequence);
        return store;
    }
    if (options.logFile.isEmpty())
        return nullptr;
    return std::make_unique<LogFileStore>(options.logFile);
}

std::unique_ptr<SerialSource> StoreFactory::serialSource(const StoreOptions &options, QString *error)
{
    error->clear();
    if (!options.serialSequence.isEmpty()) {
        std::shared_ptr<ProductionDatabase> db = database(options, error);
        if (!db)
            return nullptr;
        return std::make_unique<SqlSerialSequence>(db, options.serialSequence, options.serial);
    }
    if (!options.serial)
        return nullptr;
    if (options.serialStateFile.isEmpty())
        return std::make_unique<MemorySerialSource>(options.serial->start, options.serial->step);
    return std::make_unique<SerialStateFile>(options.serialStateFile, *options.serial);
}
