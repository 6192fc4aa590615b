#include "WindowRunLog.h"

#include "ComPort.h"
#include "Prompter.h"
#include "TTarvoForm.h"

#include <QComboBox>
#include <QLineEdit>

WindowRunLog::WindowRunLog(TTarvoForm &form, std::unique_ptr<RecordStore> store)
    : m_form(form)
    , m_store(std::move(store))
    , m_recorder(form.buffer(), form.selection())
{
    m_recorder.describe = [this](DeviceRecord &record) { describe(record); };
    m_recorder.onRecord = [this](const DeviceRecord &record) { write(record); };
    m_recorder.mayStart = [this] { return ready(); };
    m_form.runner().addListener(&m_recorder);
}

WindowRunLog::~WindowRunLog()
{
    m_form.runner().removeListener(&m_recorder);
}

namespace {

// --NAME VALUE or --NAME=VALUE among the arguments, else the variable.
QString optionOrVariable(const QStringList &arguments, const QString &name, const char *variable)
{
    const QString option = QStringLiteral("--") + name;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &arg = arguments.at(i);
        if (arg == option && i + 1 < arguments.size())
            return arguments.at(i + 1);
        if (arg.startsWith(option + QLatin1Char('=')))
            return arg.mid(option.size() + 1);
    }
    return qEnvironmentVariable(variable);
}

} // namespace

QString WindowRunLog::logFile(const QStringList &arguments)
{
    return optionOrVariable(arguments, QStringLiteral("log"), "TARVO_LOG");
}

QString WindowRunLog::database(const QStringList &arguments)
{
    return optionOrVariable(arguments, QStringLiteral("db"), "TARVO_DB");
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
    return shown(ok, error);
}

void WindowRunLog::describe(DeviceRecord &record) const
{
    const TarvoLayout &ui = m_form.controls();
    record.portEntry = ui.SelectComPort->currentText();
    record.portPath = m_form.link().port().openedPath();
    record.biosCode = ui.Tarvo_Code->text();
    record.device = m_form.selection().SelectedDevice.DeviceName;
    record.fileName = ui.SelectFileName->text();
    record.bufferChecksum = ui.Buffer_Sum->text();
}

bool WindowRunLog::ready()
{
    QString error;
    const bool ok = m_store->ready(&error);
    return shown(ok, error);
}

void WindowRunLog::write(const DeviceRecord &record)
{
    QString error;
    const bool ok = m_store->append(record, &error);
    if (!shown(ok, error))
        // After a pass the command waits for Run again: it is left as by Exit.
        m_form.runner().StopRunClick();
}
