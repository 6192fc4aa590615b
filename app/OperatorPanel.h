#pragma once

#include <QWidget>

class QLabel;
class QMainWindow;

// The job's line under the window's own layout, shown only in operator
// mode: the operator, the lot, the next serial number, the devices done of
// the job's number, and the yield. The window's layout above it stays as
// it is; the window grows by the panel's height while it shows.
class OperatorPanel : public QWidget
{
public:
    struct Figures
    {
        QString operatorName;
        QString lot;
        // Empty: the job writes no numbers.
        QString nextSerial;
        int done = 0;
        int passed = 0;
        // 0: unlimited.
        int devices = 0;
    };

    explicit OperatorPanel(QWidget *parent = nullptr);

    // Puts the panel under the window's central area, or takes it away
    // and gives the window its own size back.
    void attach(QMainWindow *window);
    void detach(QMainWindow *window);

    void show(const Figures &figures);
    // The texts as shown, for tests and assistive technology.
    QString text() const;

private:
    QLabel *m_operator;
    QLabel *m_lot;
    QLabel *m_serial;
    QLabel *m_done;
    QLabel *m_yield;
    QWidget *m_client = nullptr;
};
