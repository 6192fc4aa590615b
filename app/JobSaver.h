#pragma once

#include "JobFile.h"
#include "RunListener.h"
#include "StoreOptions.h"

#include <optional>

class TTarvoForm;

// File > Save Job...: the job the window stands for, written through
// JobFile: the device chosen, the image file opened and its SHA-256, the
// last Device command chosen, and the production settings: where the
// window keeps its records (--log, --db), and what the last job opened set
// (serial numbering, counts, questions, PIN).
class JobSaver : public RunListener
{
public:
    explicit JobSaver(TTarvoForm &form);
    ~JobSaver() override;

    void setWindowStores(const StoreOptions &stores) { m_stores = stores; }
    // The production settings of a job opened at path carry over.
    void takeSettings(const JobFile &job, const QString &path);

    // The job as it would be saved at path; nothing with why when the window
    // does not yet stand for a job.
    std::optional<JobFile> job(const QString &path, QString *why) const;
    // Writes it whole; false with why.
    bool save(const QString &path, QString *why) const;

    void commandArmed(const DeviceCommand &command) override { m_command = &command; }

private:
    TTarvoForm &m_form;
    StoreOptions m_stores;
    const DeviceCommand *m_command = nullptr;
    // The last job opened and its path.
    std::optional<JobFile> m_settings;
    QString m_settingsPath;
};
