#pragma once

#include <QObject>
#include <QString>

class QComboBox;

// Choosing from a closed list by keyboard. The arrow keys move through the
// entries without choosing (the list's choice handler would run at every
// step and move the focus away); Enter, Tab, or leaving the list chooses
// the entry shown, once, through the list's activated signal. Leaving it
// otherwise (a menu, another window, the window locked by a command) chooses
// nothing and shows the entry chosen before. Alt+Down opens the list as
// before.
class ListKeyChoice : public QObject
{
    Q_OBJECT
public:
    explicit ListKeyChoice(QComboBox *list);

    // An entry reached by the arrows is waiting for Enter, Tab or the focus
    // to leave.
    bool pending() const { return m_pending; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool step(int key);
    void commit();
    void revert();

    QComboBox *m_list;
    bool m_pending = false;
    // What the list showed before the arrows moved it.
    int m_chosenIndex = -1;
    QString m_chosenText;
};
