#pragma once

#include <QObject>
#include <QString>

class AnnouncePacer;
class QLabel;

// A display line whose text is its accessible name, as a plain label's is,
// with the name changes paced (AnnouncePacer): a status line changes at
// every byte of a transfer. An empty line keeps the name it was given
// ("Status line 1"), so that no line is left unnamed.
class SpokenLabel : public QObject
{
    Q_OBJECT
public:
    // Call after each change of the label's text; the first call sets the
    // label up, taking its accessible name as its name when empty.
    static void textChanged(QLabel *label);
    // Every change held back by the labels below root goes out now.
    static void flushAll(QObject *root);

private:
    explicit SpokenLabel(QLabel *label);
    void tell();

    QLabel *m_label;
    QString m_emptyName;
    AnnouncePacer *m_pacer;
};
