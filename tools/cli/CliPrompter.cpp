#include "CliPrompter.h"

#include "CliOutput.h"
#include "ProgrammerLink.h"

Prompter::Answer CliPrompter::show(Icon icon, const QString &text, Buttons buttons)
{
    m_shown.append({icon, text});
    if (buttons == Buttons::Ok) {
        m_output.message(icon, text, std::nullopt);
        return Answer::Ok;
    }
    const bool yes = text == ProgrammerLink::StopQuestion ? m_stopWanted : m_allowed.contains(text);
    const Answer answer = yes ? Answer::Yes : Answer::No;
    m_output.message(icon, text, answer);
    return answer;
}
