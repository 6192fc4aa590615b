#pragma once

#include "JobFile.h"
#include "OperatorPanel.h"
#include "ProductionCycle.h"
#include "RunListener.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <optional>

class TTarvoForm;
struct DeviceCommand;

// The window running a job (operator mode): the title shows the job's name;
// the device list, File > Open and every Device command but the job's are
// held (the port list too, once the programmer was found); the job's
// command stays armed, and each Run is one device of the job's production
// cycle: the image checked, the serial number written, the record kept.
// A panel under the window's own layout shows the operator, the lot, the
// next serial number, the devices done and the yield. After the job's
// number of devices, or its number of failures in a row, the command is
// left and the job stops; only Close Job (after the engineer's PIN, where
// the job has one) gives the window back.
class OperatorMode : public QObject, public RunListener
{
public:
    explicit OperatorMode(TTarvoForm &form);
    ~OperatorMode() override;

    bool active() const { return m_job.has_value(); }
    const JobFile *job() const { return m_job ? &*m_job : nullptr; }
    const OperatorPanel &panel() const { return *m_panel; }
    // Set when the job stopped (done, failures in a row, a changed image,
    // a store); why it stopped.
    const QString &stoppedText() const { return m_stoppedText; }
    const ProductionCycle *cycle() const { return m_cycle.get(); }

    // Opens the job at path: checks it and its image, asks the operator
    // what the job requires, chooses its device and loads its image, then
    // locks the window. False after an error box (or a question cancelled),
    // with the window as it was apart from the device and file chosen.
    bool open(const QString &path);
    // Close Job: asks for the PIN where the job has one. False while the
    // job stays open (wrong PIN, cancelled).
    bool close();

    // The window's own log pauses while a job keeps the records.
    std::function<void(bool active)> activeChanged;

    bool runMayStart() override;
    void runEnded(const RunEnd &end) override;
    void commandLeft() override;

private:
    // Error box; false.
    bool refuse(const QString &text);
    // Before the job is open: the job being opened.
    bool askOperator(const JobFile &job);
    bool loadImage(const QString &path, const JobFile &job);
    void enter();
    void leave();
    void lock();
    void scheduleArm(int delayMs = 0);
    void armNow();
    // The job stops: nothing more is armed; text in a box (an error box when error).
    void stop(const QString &text, bool error, bool leaveCommand);
    void showFigures();
    void describe(DeviceRecord &record) const;

    TTarvoForm &m_form;
    QPointer<OperatorPanel> m_panel;
    std::optional<JobFile> m_job;
    QString m_path;
    std::unique_ptr<ProductionCycle> m_cycle;
    const DeviceCommand *m_command = nullptr;
    QString m_operatorName;
    QString m_lot;
    QString m_title;
    QString m_stoppedText;
    bool m_armPending = false;
    bool m_keptRunFocus = false;
};
