#pragma once

#include <QDialog>

class MemoryBuffer;
struct SelectionState;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// The hex viewer: lists the buffer over the device's range, or up to
// BufferEnd while no device may be used. Only reads the buffer.
class TEditForm : public QDialog
{
    Q_OBJECT

public:
    TEditForm(const MemoryBuffer &buffer, const SelectionState &selection, QWidget *parent = nullptr);

    QPlainTextEdit *TextDisplay;
    QLabel *Label1;
    QLabel *Label2;
    QLabel *Label3;
    QPushButton *EditOK;

public slots:
    void FormActivate();
    void ShowHexData();
    void EditOKClick();

protected:
    void showEvent(QShowEvent *event) override;

private:
    const MemoryBuffer &m_buffer;
    const SelectionState &m_selection;
};
