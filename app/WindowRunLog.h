#pragma once

#include "RecordStore.h"
#include "RunRecorder.h"

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
