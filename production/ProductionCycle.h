#pragma once

#include "RecordStore.h"
#include "RunRecorder.h"
#include "SerialSource.h"
#include "SerialWriteMark.h"
#include "StoreOptions.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class CommandRunner;
class MemoryBuffer;
struct SelectionState;

// The work around each device of a production run, the same for tarvo-cli
// and the window: before the device, the store is ready, the job's image
// is unchanged and the next serial number is written into the image; while
// its commands run, the number is marked written before the first block
// that carries it; after them, the number is used, released or retired,
// the record is kept, and the counters (which never wrap) move on. The run
// ends after the job's number of devices, or stops after its number of
// failures in a row. The front end runs the commands and talks to the
// operator.
class ProductionCycle
{
public:
    struct Settings
    {
        StoreOptions stores;
        // A failed device's number that may be in it is retired, not given again.
        bool retireFailed = false;
        // The number may replace bytes of the image.
        bool serialOverwrite = false;
        // The image as the user named it, for messages; with imageSha256
        // set (a job) its content is checked before each device.
        QString imagePath;
        QString imageSha256;
        // 0: unlimited; 0: failures never stop the run.
        int devices = 0;
        int stopAfterFailures = 0;
    };

    // Told of each device, for whoever shows or keeps the line's state.
    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void deviceStarting(int /*number*/, std::optional<quint64> /*serial*/) {}
        // errors: what went wrong with the stores (each ends the run).
        virtual void deviceEnded(const DeviceRecord &, const QStringList & /*errors*/) {}
    };

    struct DeviceEnd
    {
        DeviceRecord record;
        // What the stores could not keep, in order; the run ends after it.
        QStringList errors;
    };

    ProductionCycle(const Settings &settings, MemoryBuffer &buffer, const SelectionState &selection,
                    CommandRunner &runner);
    ~ProductionCycle();

    // The front end's part of each record (port, device, file, codes).
    std::function<void(DeviceRecord &record)> describe;
    void setListener(Listener *listener) { m_listener = listener; }
    // The bench's row on the line's board, where the records keep one (a
    // database); null otherwise or before prepare.
    BenchLiveness *liveness() const { return m_log ? m_log->liveness() : nullptr; }
    // That row set to this bench's port, job and lot, and told of the
    // runner's work after the listeners the runner has so far (so that a
    // run's record is kept before the row hears the run ended); null
    // without one.
    BenchLiveness *attachBench(const QString &portEntry, const QString &job, const QString &lot);
    // The row says stopped and hears the runner no more.
    void detachBench();

    // Before the first device (and before the port opens): the stores can
    // be written, the serial number fits the device and its bytes.
    bool prepare(QString *error);
    const Settings &settings() const { return m_settings; }
    // The form the numbers are written in, once prepared; null without numbers.
    const SerialFormat *serialFormat() const { return m_serials && m_format ? &*m_format : nullptr; }
    // The number the next device would get, reserving nothing.
    std::optional<quint64> nextSerial(QString *error) const;

    // Before a device: false with error when it must not start (the store,
    // a changed image, numbers used up); nothing is counted then.
    bool beginDevice(QString *error);
    // A step outside the runner (a fuse write) for the device's record.
    void addOutcome(const QString &text, bool passed);
    // After the device's commands (passed: all of them did).
    DeviceEnd endDevice(bool passed);
    // A device begun whose commands never started: its number goes back,
    // nothing is counted or recorded.
    void cancelDevice();
    bool deviceUnderWay() const { return m_underWay; }

    int devices() const { return m_devices; }
    int passed() const { return m_passedDevices; }
    int failedInRow() const { return m_failedInRow; }
    // The job's devices are done, or it stopped for failures in a row.
    bool allDone() const { return m_settings.devices > 0 && m_devices >= m_settings.devices; }
    bool stoppedForFailures() const
    {
        return m_settings.stopAfterFailures > 0 && m_failedInRow >= m_settings.stopAfterFailures;
    }
    bool ended() const { return allDone() || stoppedForFailures(); }
    QString stopText() const;

    // Whether the image at path still has the SHA-256 kept; why when not.
    static bool imageUnchanged(const QString &path, const QString &sha256, QString *why);

private:
    std::optional<quint64> takeSerial(QString *error);
    bool settleSerial(quint64 serial, bool passed, QString *error);
    QString overwriteText(const SerialFormat &format) const;

    Settings m_settings;
    MemoryBuffer &m_buffer;
    const SelectionState &m_selection;
    CommandRunner &m_runner;
    std::unique_ptr<RecordStore> m_log;
    std::unique_ptr<SerialSource> m_serials;
    std::optional<SerialFormat> m_format;
    RunRecorder m_recorder;
    SerialWriteMark m_mark;
    Listener *m_listener = nullptr;
    bool m_benchAttached = false;
    std::optional<quint64> m_serial;
    bool m_underWay = false;
    int m_devices = 0;
    int m_passedDevices = 0;
    int m_failedInRow = 0;
    // The records' counters, past any one-byte counter.
    qint64 m_success = 0;
    qint64 m_failure = 0;
};
