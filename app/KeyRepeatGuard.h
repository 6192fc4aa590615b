#pragma once

#include <QElapsedTimer>
#include <QObject>

// One press, one action, in every window of the program (the main window,
// the dialogs, the message boxes). A held Return or keypad Enter repeats,
// and an autoDefault button or a box's default button takes every repeat as
// another press: a foot switch held a little long ran a command, left it and
// cleared the counters. So an auto-repeated Return, Enter or Space goes
// nowhere, and so does any press of them while the focus is settling after
// the program moved it (a run armed, started or ended): that press was meant
// for the button that had the focus before.
class KeyRepeatGuard : public QObject
{
    Q_OBJECT
public:
    static constexpr int SettleMs = 300;

    // Filters every event of the application from now on.
    explicit KeyRepeatGuard(QObject *parent = nullptr);
    ~KeyRepeatGuard() override;

    // The program has just moved the focus: presses of Return, Enter and
    // Space are dropped for SettleMs. Does nothing while no guard exists.
    static void focusMoved();

    // Presses dropped so far.
    int dropped() const { return m_dropped; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    static KeyRepeatGuard *s_guard;
    QElapsedTimer m_settling;
    int m_dropped = 0;
};
