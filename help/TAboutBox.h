#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

// The about box: product, version and the maker's contact lines. Every way
// of closing it (OK, Enter, Esc, the close box) ends with the result OK.
class TAboutBox : public QDialog
{
    Q_OBJECT

public:
    explicit TAboutBox(QWidget *parent = nullptr);

    static const QString ProductName;

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    QFrame *Panel1;
    QLabel *ProgramIcon;
    QLabel *Label10, *Label9, *Label11;
    QLabel *Label8, *Label2, *Label3, *Label4;
    QLabel *Label1, *Label5, *Label6, *Label7;
    QPushButton *OKHelp;
};
