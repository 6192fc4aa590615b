#pragma once

#include <QApplication>
#include <QDialog>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>

// The operator's steps during a command, taken from inside the program's
// waits: each step waits for its condition, then acts once. Actions run
// from a zero timer of their own, so an action that opens a modal dialog
// does not hold up the polling of the next step.
class OperatorScript : public QObject
{
public:
    OperatorScript()
    {
        m_poll.setInterval(2);
        connect(&m_poll, &QTimer::timeout, this, &OperatorScript::poll);
    }

    OperatorScript &then(const char *what, std::function<bool()> ready, std::function<void()> act)
    {
        m_steps.append({QString::fromLatin1(what), std::move(ready), std::move(act)});
        return *this;
    }
    void start() { m_poll.start(); }
    void stop() { m_poll.stop(); }
    bool finished() const { return m_next >= m_steps.size(); }
    QString pending() const
    {
        return finished() ? QStringLiteral("none") : m_steps[m_next].what;
    }

    // While set, any modal dialog that appears is noted and rejected.
    bool rejectStrayModals = false;
    QStringList strayModals;

    // Extra observation on every poll (samples of the displays).
    std::function<void()> onPoll;

private:
    struct Step
    {
        QString what;
        std::function<bool()> ready;
        std::function<void()> act;
    };

    void poll()
    {
        if (onPoll)
            onPoll();
        if (rejectStrayModals) {
            if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
                strayModals << dialog->objectName();
                dialog->reject();
            }
        }
        if (finished() || m_acting)
            return;
        Step &step = m_steps[m_next];
        if (!step.ready())
            return;
        ++m_next;
        m_acting = true;
        QTimer::singleShot(0, this, [this, act = step.act] {
            act();
            m_acting = false;
        });
    }

    QList<Step> m_steps;
    qsizetype m_next = 0;
    bool m_acting = false;
    QTimer m_poll;
};
