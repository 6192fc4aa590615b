#pragma once

#include "Prompter.h"

#include <QList>
#include <QString>
#include <functional>

// Answers message boxes for tests and keeps every one shown.
class ScriptedPrompter : public Prompter
{
public:
    struct Shown
    {
        Icon icon;
        QString text;
        Buttons buttons;
    };
    using Handler = std::function<Answer(const Shown &)>;

    Answer show(Icon icon, const QString &text, Buttons buttons) override;
    // Answers textAnswers in order (cancelled once none is left); the
    // questions asked are kept in asked.
    std::optional<QString> askText(const QString &question, bool secret) override
    {
        asked << (secret ? QStringLiteral("secret: ") : QString()) + question;
        if (textAnswers.isEmpty())
            return std::nullopt;
        return textAnswers.takeFirst();
    }
    QStringList textAnswers;
    QStringList asked;

    // Answers used in order; when none is queued, Yes/No boxes get
    // defaultAnswer and OK boxes get Ok.
    void queue(Answer answer) { m_queue.append(answer); }
    // When set, decides every box instead of the queue.
    void setHandler(Handler handler) { m_handler = std::move(handler); }
    Answer defaultAnswer = Answer::No;

    QList<Shown> shown;
    QStringList texts() const;
    void clear() { shown.clear(); }

private:
    QList<Answer> m_queue;
    Handler m_handler;
};
