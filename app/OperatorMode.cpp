#include "OperatorMode.h"

#include "BenchLiveness.h"
#include "BufferRange.h"
#include "RunRecorder.h"
#include "DeviceCatalogue.h"
#include "DeviceCommand.h"
#include "ImageFileLoader.h"
#include "Prompter.h"
#include "TTarvoForm.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QStatusBar>
#include <QTimer>

namespace {

// The window arms one Device command; a job of several commands, or of a
// fuse write, runs in tarvo-cli.
const DeviceCommand *windowCommand(const JobFile &job)
{
    if (job.commands.isEmpty())
        return &DeviceCommand::get(DeviceCommand::Id::Auto);
    if (job.commands.size() != 1)
        return nullptr;
    return DeviceCommand::byName(job.commands.constFirst());
}

QString askQuestion(const QString &what, JobFile::Ask ask)
{
    return ask == JobFile::Ask::Required ? QStringLiteral("%1:").arg(what)
                                         : QStringLiteral("%1 (may be left empty):").arg(what);
}

} // namespace

OperatorMode::OperatorMode(TTarvoForm &form)
    : m_form(form)
    , m_panel(new OperatorPanel)
{
    m_panel->hide();
    // The programmer found on the bench's port: the port list is held from
    // then on, and the job's command is armed.
    connect(&m_form.session(), &BenchSession::firmwareDateChanged, this, [this] {
        if (!active() || !m_stoppedText.isEmpty() || !m_form.link().HardwareFound())
            return;
        // The device rules depend on the programmer's firmware: the job's
        // device is chosen again for the programmer now found.
        m_form.SelectDeviceChange();
        if (!m_form.selection().DeviceSelected) {
            stop(QStringLiteral("The job's device %1 cannot be used with this programmer").arg(m_job->device), true, true);
            return;
        }
        lock();
        scheduleArm();
    });
}

OperatorMode::~OperatorMode()
{
    if (m_cycle) {
        m_form.runner().removeListener(this);
        m_cycle->cancelDevice();
    }
    if (m_panel && !m_panel->parent())
        delete m_panel;
}

bool OperatorMode::refuse(const QString &text)
{
    m_form.prompter().defaultError(text);
    return false;
}

bool OperatorMode::askOperator(const JobFile &job)
{
    Prompter &prompter = m_form.prompter();
    const struct
    {
        JobFile::Ask ask;
        QString what;
        QString *value;
    } questions[] = {{job.askOperator, QStringLiteral("Operator name"), &m_operatorName},
                     {job.askLot, QStringLiteral("Lot or work order"), &m_lot}};
    for (const auto &q : questions) {
        q.value->clear();
        if (q.ask == JobFile::Ask::No)
            continue;
        for (;;) {
            const std::optional<QString> answer = prompter.askText(askQuestion(q.what, q.ask), false);
            if (!answer)
                return false;
            *q.value = answer->trimmed();
            if (!q.value->isEmpty() || q.ask == JobFile::Ask::Optional)
                break;
            prompter.error(QStringLiteral("The job requires the %1.").arg(q.what.toLower()));
        }
    }
    return true;
}

bool OperatorMode::loadImage(const QString &path, const JobFile &job)
{
    MemoryBuffer &buffer = m_form.buffer();
    const SelectionState &selection = m_form.selection();
    const ImageFileLoader::Result loaded = ImageFileLoader::loadFile(path, buffer, job.imageOffset);
    if (!loaded.ok())
        return refuse(QStringLiteral("%1: refused, %2").arg(path, loaded.opened ? loaded.read.error : loaded.openError));
    buffer.FileLoaded = true;
    if (selection.SelectedDevice.deviceEnd() < buffer.BufferEnd)
        return refuse(QStringLiteral("The job's image ends at %1, past the end of the %2 (%3)")
                          .arg(BufferRange::addressText(buffer.BufferEnd), selection.SelectedDevice.DeviceName,
                               BufferRange::addressText(selection.SelectedDevice.deviceEnd())));
    m_form.controls().Buffer_End->setText(BufferRange::addressText(buffer.BufferEnd));
    m_form.showImage(path, BufferRange::checksumText(buffer, BufferRange::viewLimit(buffer, selection)));
    return true;
}

bool OperatorMode::open(const QString &path)
{
    if (active())
        return refuse(QStringLiteral("A job is open already: close it first"));
    QString error;
    std::optional<JobFile> job = JobFile::load(path, &error);
    if (!job)
        return refuse(error);
    const DeviceCommand *command = windowCommand(*job);
    if (!command)
        return refuse(QStringLiteral("%1: the window runs a job of one Device command; run this job with tarvo-cli")
                          .arg(path));
    // What the window cannot do is refused rather than left out.
    if (job->scan)
        return refuse(QStringLiteral("%1: the job scans a code for each device, which the window cannot take; run it "
                                     "with tarvo-cli").arg(path));
    const int deviceIndex = DeviceCatalogue::indexOf(job->device);
    if (deviceIndex < 0)
        return refuse(QStringLiteral("%1: unknown device \"%2\"").arg(path, job->device));
    const QString imagePath = job->imagePath(path);
    if (!ProductionCycle::imageUnchanged(imagePath, job->imageSha256, &error))
        return refuse(error);

    if (!askOperator(*job))
        return false;
    // The job's device and image, as the operator would choose them.
    QComboBox *devices = m_form.controls().SelectDevice;
    devices->setCurrentIndex(deviceIndex);
    m_form.SelectDeviceChange();
    if (!m_form.selection().DeviceSelected)
        return refuse(QStringLiteral("%1: the device \"%2\" could not be chosen").arg(path, job->device));
    if (!loadImage(imagePath, *job))
        return false;
    m_form.enableBufferCommands();

    ProductionCycle::Settings settings;
    settings.stores = job->stores(path);
    settings.retireFailed = job->retireFailed();
    settings.imagePath = imagePath;
    settings.imageSha256 = job->imageSha256;
    settings.devices = job->devices;
    settings.stopAfterFailures = job->stopAfterFailures;
    auto cycle = std::make_unique<ProductionCycle>(settings, m_form.buffer(), m_form.selection(), m_form.runner());
    if (!cycle->prepare(&error)) {
        // Off the runner before the box.
        cycle.reset();
        return refuse(error);
    }
    cycle->describe = [this](DeviceRecord &record) { describe(record); };
    m_cycle = std::move(cycle);
    m_path = path;
    m_command = command;
    m_job = std::move(job);
    enter();
    return true;
}

void OperatorMode::enter()
{
    // Told after the cycle's own listeners, so that the device's record is
    // complete when the run ends.
    m_form.runner().addListener(this);
    // Before the job's row is written: the window's log leaves the same
    // row stopped where it keeps records in the same database.
    if (activeChanged)
        activeChanged(true);
    // The bench's row on the line's board, where the job's records keep
    // one: told after this, so that a run's record is kept before the row
    // hears that the run ended.
    if (BenchLiveness *bench = m_cycle->attachBench(m_form.session().portEntry(), m_job->name, m_lot))
        bench->waiting();
    m_stoppedText.clear();
    m_title = m_form.windowTitle();
    // Device after device: Enter after a pass runs the next one.
    m_keptRunFocus = m_form.runDisplay().keepRunFocus();
    m_form.setKeepRunFocus(true);
    m_form.setWindowTitle(QStringLiteral("%1 - %2").arg(m_job->name, m_title));
    m_panel->attach(&m_form);
    showFigures();
    lock();
    scheduleArm();
}

void OperatorMode::lock()
{
    WindowModes::JobLock lock;
    lock.active = active();
    lock.portLocked = m_form.link().HardwareFound();
    if (m_stoppedText.isEmpty() && m_command)
        lock.command = m_command->menuItem;
    m_form.setJobLock(lock);
}

bool OperatorMode::close()
{
    if (!active())
        return false;
    if (m_job->pin) {
        const std::optional<QString> pin = m_form.prompter().askText(QStringLiteral("Engineer PIN to close the job:"), true);
        if (!pin)
            return false;
        if (!m_job->pinMatches(*pin))
            return refuse(QStringLiteral("Wrong PIN: the job stays open."));
    }
    leave();
    // The command waiting for Run is left as by Exit.
    if (m_form.runner().waitingForRun())
        m_form.runner().StopRunClick();
    return true;
}

void OperatorMode::leave()
{
    m_cycle->detachBench();
    m_form.runner().removeListener(this);
    m_cycle->cancelDevice();
    m_cycle.reset();
    m_job.reset();
    m_command = nullptr;
    m_panel->detach(&m_form);
    m_form.setWindowTitle(m_title);
    m_form.setKeepRunFocus(m_keptRunFocus);
    m_form.setJobLock({});
    if (activeChanged)
        activeChanged(false);
}

void OperatorMode::scheduleArm(int delayMs)
{
    if (m_armPending)
        return;
    m_armPending = true;
    QTimer::singleShot(delayMs, this, [this] {
        m_armPending = false;
        armNow();
    });
}

void OperatorMode::armNow()
{
    if (!active() || !m_stoppedText.isEmpty() || m_form.closePending() || !m_form.link().HardwareFound())
        return;
    // The command before is still unwinding: once it has, the job's is armed.
    if (m_form.runner().active() || m_form.busy()) {
        scheduleArm(20);
        return;
    }
    m_form.controls().deviceItems()[std::size_t(m_command->menuItem)]->trigger();
}

bool OperatorMode::runMayStart()
{
    // The port may have been chosen since the job opened.
    if (BenchLiveness *bench = m_cycle->liveness())
        bench->setPort(m_form.session().portEntry());
    QString error;
    if (!m_cycle->beginDevice(&error)) {
        // Refused here, the run does not start and the command is left.
        stop(error, true, false);
        return false;
    }
    showFigures();
    return true;
}

void OperatorMode::runEnded(const RunEnd &end)
{
    if (!m_cycle->deviceUnderWay())
        return;
    const ProductionCycle::DeviceEnd device = m_cycle->endDevice(end.outcome == RunState::Passed);
    showFigures();
    if (!device.errors.isEmpty())
        stop(device.errors.join(QLatin1Char('\n')), true, true);
    else if (m_cycle->stoppedForFailures())
        stop(m_cycle->stopText(), true, true);
    else if (m_cycle->allDone())
        stop(QStringLiteral("Job done: %1 devices, %2 passed").arg(m_cycle->devices()).arg(m_cycle->passed()), false, true);
    else if (end.outcome != RunState::Passed)
        scheduleArm();
    // After a pass the command waits for Run again: the next device.
}

void OperatorMode::commandLeft()
{
    if (!active())
        return;
    m_cycle->cancelDevice();
    // Exit in operator mode: the job's command is armed again.
    scheduleArm();
}

void OperatorMode::stop(const QString &text, bool error, bool leaveCommand)
{
    m_stoppedText = text;
    lock();
    // A pass leaves the command waiting for Run: it is left as by Exit.
    if (leaveCommand && m_form.runner().waitingForRun())
        m_form.runner().StopRunClick();
    m_form.controls().StatusBar->showMessage(text);
    // Shown once the run has unwound, not from inside its events.
    QTimer::singleShot(0, this, [this, text, error] {
        if (error)
            m_form.prompter().defaultError(text);
        else
            m_form.prompter().inform(Prompter::withFullStop(text));
    });
}

void OperatorMode::showFigures()
{
    OperatorPanel::Figures f;
    f.operatorName = m_operatorName;
    f.lot = m_lot;
    if (const SerialFormat *format = m_cycle->serialFormat()) {
        QString error;
        const std::optional<quint64> next = m_cycle->nextSerial(&error);
        f.nextSerial = next ? QStringLiteral("%1 (%2)").arg(*next).arg(format->text(*next)) : error;
    }
    f.done = m_cycle->devices();
    f.passed = m_cycle->passed();
    f.devices = m_job->devices;
    m_panel->show(f);
}

void OperatorMode::describe(DeviceRecord &record) const
{
    RunRecorder::describeBench(m_form.session(), record);
    record.jobName = m_job->name;
    record.jobSha256 = m_job->fileSha256;
    record.operatorName = m_operatorName;
    record.lot = m_lot;
}
