#pragma once

#include "Prompter.h"

#include <QList>
#include <QSet>
#include <QString>

class CliOutput;

// Message boxes without a window: each box is printed (standard error, and
// a JSON event) and answered at once. The stop question is answered Yes
// once the user has asked to stop (Ctrl+C); another question is answered Yes
// only when it was allowed beforehand.
class CliPrompter : public Prompter
{
public:
    explicit CliPrompter(CliOutput &output) : m_output(output) {}

    Answer show(Icon icon, const QString &text, Buttons buttons) override;

    void setStopWanted(bool wanted) { m_stopWanted = wanted; }
    void allow(const QString &question) { m_allowed.insert(question); }

    struct Shown
    {
        Icon icon;
        QString text;
    };
    // Every box shown, in order.
    const QList<Shown> &shown() const { return m_shown; }

private:
    CliOutput &m_output;
    bool m_stopWanted = false;
    QSet<QString> m_allowed;
    QList<Shown> m_shown;
};
