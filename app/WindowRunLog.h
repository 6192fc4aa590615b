#pragma once

#include "RecordStore.h"
#include "RunRecorder.h"

#include <memory>

class TTarvoForm;

// The window's production log: a record of every run of every Device
// command, pass or failure, appended to the store as the run ends. A record
// that cannot be written shows the system's text in an error box and the
// command is left; nothing else of the window changes. Each write of the
// fuse editor is a record too ("fuse-write", the value and its outcome),
// and a write whose record could not be kept does not start.
class WindowRunLog
{
public:
    WindowRunLog(TTarvoForm &form, std::unique_ptr<RecordStore> store);
    ~WindowRunLog();

    // Makes the log ready before the first run: an error box when it cannot
    // be written.
    bool open();
    // While paused (a job keeps the records) nothing is written or checked,
    // and the bench's row is left stopped. The constructor has the window's
    // operator mode call it as a job opens and closes.
    void setPaused(bool paused);

    // The fuse editor (wired by recordFuseWrites): before a write, whether
    // its record can be kept (an error box when not); after it, the record.
    bool fuseMayWrite();
    void fuseWritten(quint8 value, bool passed, const QString &result);

private:
    void describe(DeviceRecord &record) const;
    // False after the error box.
    bool write(const DeviceRecord &record);
    // Before each run: a store that cannot take the record keeps the run
    // from starting, with an error box.
    bool ready();
    // ok, after an error box with error when not.
    bool shown(bool ok, const QString &error);

    TTarvoForm &m_form;
    std::unique_ptr<RecordStore> m_store;
    RunRecorder m_recorder;
    bool m_paused = false;
};
