#pragma once

#include "RecordStore.h"
#include "RunRecorder.h"

#include <QStringList>
#include <memory>

class TTarvoForm;

// The window's production log: a record of every run of every Device
// command, pass or failure, appended to the store as the run ends. A record
// that cannot be written shows the system's text in an error box and the
// command is left; nothing else of the window changes.
class WindowRunLog
{
public:
    WindowRunLog(TTarvoForm &form, std::unique_ptr<RecordStore> store);
    ~WindowRunLog();

    // The log named by --log FILE (or --log=FILE) among the arguments, else
    // by TARVO_LOG; empty for none.
    static QString logFile(const QStringList &arguments);
    // The production database named by --db LOCATION (or --db=LOCATION),
    // else by TARVO_DB; empty for none. It takes the records in place of
    // the log.
    static QString database(const QStringList &arguments);

    // Makes the log ready before the first run: an error box when it cannot
    // be written.
    bool open();

private:
    void describe(DeviceRecord &record) const;
    void write(const DeviceRecord &record);
    // Before each run: a store that cannot take the record keeps the run
    // from starting, with an error box.
    bool ready();
    // ok, after an error box with error when not.
    bool shown(bool ok, const QString &error);

    TTarvoForm &m_form;
    std::unique_ptr<RecordStore> m_store;
    RunRecorder m_recorder;
};
