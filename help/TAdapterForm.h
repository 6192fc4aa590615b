#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

// The notice shown when the device that needs the socket adapter is chosen.
class TAdapterForm : public QDialog
{
    Q_OBJECT

public:
    explicit TAdapterForm(QWidget *parent = nullptr);

public slots:
    void OKAdapterClick();

private:
    QFrame *Panel1;
    QLabel *Image1;
    QLabel *Image2;
    QLabel *Label1;
    QLabel *Label2;
    QPushButton *OKAdapter;
};
