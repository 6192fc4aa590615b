#include "ScriptedPrompter.h"

Prompter::Answer ScriptedPrompter::show(Icon icon, const QString &text, Buttons buttons)
{
    const Shown box{icon, text, buttons};
    shown.append(box);
    if (m_handler)
        return m_handler(box);
    if (!m_queue.isEmpty())
        return m_queue.takeFirst();
    return buttons == Buttons::Ok ? Answer::Ok : defaultAnswer;
}

QStringList ScriptedPrompter::texts() const
{
    QStringList out;
    for (const Shown &s : shown)
        out << s.text;
    return out;
}
