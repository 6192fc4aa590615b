#include "JobSaver.h"

#include "DeviceCommand.h"
#include "TTarvoForm.h"

#include <QFileInfo>

JobSaver::JobSaver(TTarvoForm &form)
    : m_form(form)
{
    m_form.runner().addListener(this);
}

JobSaver::~JobSaver()
{
    m_form.runner().removeListener(this);
}

void JobSaver::takeSettings(const JobFile &job, const QString &path)
{
    m_settings = job;
    m_settingsPath = path;
}

std::optional<JobFile> JobSaver::job(const QString &path, QString *why) const
{
    const SelectionState &selection = m_form.selection();
    if (!selection.DeviceSelected) {
        *why = QStringLiteral("Choose the job's device first");
        return std::nullopt;
    }
    const QString image = m_form.openedFile();
    if (image.isEmpty() || !m_form.buffer().FileLoaded) {
        *why = QStringLiteral("Open the job's image file first");
        return std::nullopt;
    }
    if (!m_command) {
        *why = QStringLiteral("Choose the job's Device command first");
        return std::nullopt;
    }
    JobFile job;
    if (m_settings) {
        // Serial numbering, counts, questions and PIN as the last job had
        // them, its files found from the new job's folder.
        job = *m_settings;
        const StoreOptions stores = m_settings->stores(m_settingsPath);
        if (job.serial)
            job.serial->stateFile = JobFile::storedLocation(path, stores.serialStateFile);
        job.logFile = JobFile::storedLocation(path, stores.logFile);
        job.database = JobFile::storedLocation(path, stores.database);
    }
    job.name = QFileInfo(path).completeBaseName();
    job.device = selection.SelectedDevice.DeviceName;
    job.image = JobFile::relativePath(path, image);
    // A raw binary's offset stays only with the last job's own image.
    if (!m_settings || JobFile::resolvedPath(m_settingsPath, m_settings->image) != image)
        job.imageOffset.reset();
    job.imageSha256 = JobFile::sha256OfFile(image, why);
    if (job.imageSha256.isEmpty())
        return std::nullopt;
    job.commands.clear();
    if (m_command->id != DeviceCommand::Id::Auto)
        job.commands << QString(m_command->name);
    // The window's own records, where it keeps them, win over the last job's.
    if (!m_stores.logFile.isEmpty() || !m_stores.database.isEmpty()) {
        job.logFile = JobFile::storedLocation(path, m_stores.logFile);
        job.database = JobFile::storedLocation(path, m_stores.database);
    }
    // What is written must read back: the same checks as a job opened.
    if (!JobFile::fromJson(job.toJson(), why))
        return std::nullopt;
    return job;
}

bool JobSaver::save(const QString &path, QString *why) const
{
    const std::optional<JobFile> made = job(path, why);
    return made && made->save(path, why);
}
