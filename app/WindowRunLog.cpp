#include "WindowRunLog.h"

#include "BenchLiveness.h"
#include "HexText.h"
#include "OperatorMode.h"
#include "Prompter.h"
#include "TTarvoForm.h"

WindowRunLog::WindowRunLog(TTarvoForm &form, std::unique_ptr<RecordStore> store)
    : m_form(form)
    , m_store(std::move(store))
    , m_recorder(form.buffer(), form.selection())
{
    m_recorder.describe = [this](DeviceRecord &record) { describe(record); };
    m_recorder.onRecord = [this](const DeviceRecord &record) {
        if (!m_paused && !write(record))
            // After a pass the command waits for Run again: it is left as by Exit.
            m_form.runner().StopRunClick();
    };
    m_recorder.mayStart = [this] { return m_paused || ready(); };
    m_form.runner().addListener(&m_recorder);
    // After the recorder: a run's record is written before the bench's
    // row hears that the run ended.
    if (BenchLiveness *bench = m_store->liveness())
        m_form.runner().addListener(bench);
    // A job keeps its own records: the log waits while one is open.
    m_form.operatorMode().activeChanged = [this](bool active) { setPaused(active); };
}

WindowRunLog::~WindowRunLog()
{
    m_form.operatorMode().activeChanged = nullptr;
    if (BenchLiveness *bench = m_store->liveness())
        m_form.runner().removeListener(bench);
    m_form.runner().removeListener(&m_recorder);
}

bool WindowRunLog::shown(bool ok, const QString &error)
{
    if (!ok)
        m_form.prompter().defaultError(error);
    return ok;
}

bool WindowRunLog::open()
{
    QString error;
    const bool ok = m_store->open(&error);
    // The bench is on the board from the start, waiting.
    if (BenchLiveness *bench = ok ? m_store->liveness() : nullptr) {
        bench->setPort(m_form.session().portEntry());
        bench->waiting();
    }
    return shown(ok, error);
}

void WindowRunLog::describe(DeviceRecord &record) const
{
    RunRecorder::describeBench(m_form.session(), record);
}

bool WindowRunLog::fuseMayWrite()
{
    return ready();
}

bool WindowRunLog::ready()
{
    // The port may have changed since the last run.
    if (BenchLiveness *bench = m_store->liveness())
        bench->setPort(m_form.session().portEntry());
    QString error;
    const bool ok = m_store->ready(&error);
    return shown(ok, error);
}

bool WindowRunLog::write(const DeviceRecord &record)
{
    QString error;
    return shown(m_store->append(record, &error), error);
}

void WindowRunLog::fuseWritten(quint8 value, bool passed, const QString &result)
{
    DeviceRecord record = m_recorder.single(QStringLiteral("fuse-write"), result, passed);
    record.fuseValue = HexText::HexByteToStr2(value);
    write(record);
}

void WindowRunLog::setPaused(bool paused)
{
    if (paused == m_paused)
        return;
    m_paused = paused;
    // The job's own store keeps the bench's row meanwhile.
    if (BenchLiveness *bench = m_store->liveness()) {
        if (paused) {
            // Its refresh would write the old row over the job's where
            // both keep records in the same database.
            bench->stopped();
            m_form.runner().removeListener(bench);
        } else {
            m_form.runner().addListener(bench);
            bench->setPort(m_form.session().portEntry());
            bench->waiting();
        }
    }
}
