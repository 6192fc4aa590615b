#pragma once

#include <QString>
#include <optional>

// Every message box of the program goes through this interface: the window
// shows a real message box, tests answer from a script and check the exact
// text, icon and buttons in one place.
class Prompter
{
public:
    enum class Icon { None, Error, Warning, Question };
    // YesNoDefaultNo: Yes and No with No the default, for a question whose
    // Yes cannot be undone.
    enum class Buttons { Ok, YesNo, YesNoDefaultNo };
    enum class Answer { Ok, Yes, No };

    virtual ~Prompter() = default;

    // Shows one modal box titled with the application title and returns the
    // button chosen.
    virtual Answer show(Icon icon, const QString &text, Buttons buttons) = 0;
    // Asks for one line of text (secret: not shown as typed, for a PIN);
    // nothing when cancelled. A prompter that cannot ask answers as cancelled.
    virtual std::optional<QString> askText(const QString &question, bool secret)
    {
        Q_UNUSED(question);
        Q_UNUSED(secret);
        return std::nullopt;
    }

    void error(const QString &text) { show(Icon::Error, text, Buttons::Ok); }
    void warning(const QString &text) { show(Icon::Warning, text, Buttons::Ok); }
    void inform(const QString &text) { show(Icon::None, text, Buttons::Ok); }
    bool confirm(const QString &text) { return show(Icon::Question, text, Buttons::YesNo) == Answer::Yes; }
    bool confirmNoDefault(const QString &text)
    {
        return show(Icon::Question, text, Buttons::YesNoDefaultNo) == Answer::Yes;
    }

    // The box for an error no handler caught: the message with a full stop
    // appended when it ends in a letter or digit.
    void defaultError(const QString &message) { error(withFullStop(message)); }
    static QString withFullStop(const QString &message)
    {
        if (!message.isEmpty() && message.back().isLetterOrNumber())
            return message + QLatin1Char('.');
        return message;
    }
};
