#pragma once

#include "RecordStore.h"
#include "SerialSource.h"
#include "StoreOptions.h"

#include <memory>

// The one place that turns the user's options into stores, so that the
// commands never know where records and numbers live.
class StoreFactory
{
public:
    // Nothing (and no error) when no log is wanted; nothing with error when
    // the options name a store that cannot be made.
    static std::unique_ptr<RecordStore> recordStore(const StoreOptions &options, QString *error);
    // Nothing (and no error) when no serial number is wanted.
    static std::unique_ptr<SerialSource> serialSource(const StoreOptions &options, QString *error);
};
