#pragma once

#include <QObject>
#include <QString>

class Prompter;
class QAbstractButton;

// Reset clears the Success and Failure counters. From the mouse that takes a
// deliberate click; from the keyboard it can be a press of Enter meant for
// the button that had the focus a moment ago, so a press from the keyboard
// (or from assistive technology) asks first, with No the default.
class ResetConfirmation : public QObject
{
    Q_OBJECT
public:
    static inline const QString Question = QStringLiteral("Reset the Success and Failure counters?");

    ResetConfirmation(QAbstractButton *reset, Prompter &prompter);

    // Call from the button's click handler: true when the counters may be
    // cleared (a mouse click, or Yes to the question).
    bool allowed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Prompter &m_prompter;
    // The last input that reached the button was a mouse button's release
    // on it, the one that clicks.
    bool m_mouseClick = false;
};
