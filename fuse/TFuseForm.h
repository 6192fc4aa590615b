#pragma once

#include "FuseExchange.h"
#include "FuseView.h"

#include <QDialog>
#include <functional>

class ProgrammerLink;
class QLabel;
class QLineEdit;
class QPushButton;
class RadioGroup;
struct SelectionState;

// The fuse and lock-bit editor. Created once and shown modally as often as
// needed; every showing reads the device in the socket. Closing it while an
// exchange runs ends the exchange first (CAN sent) and closes afterwards.
class TFuseForm : public QDialog, private FuseView
{
    Q_OBJECT
public:
    TFuseForm(ProgrammerLink &link, const SelectionState &selection, QWidget *parent = nullptr);

    bool exchanging() const { return m_exchange.busy(); }
    // Who tells assistive technology of a new result (its name changed); by
    // default the name is set at once. The window paces it as it paces its
    // status lines.
    void setResultAnnouncer(std::function<void(QLabel *result)> announce) { m_announceResult = std::move(announce); }
    void setReplyTimeoutMs(int ms) { m_exchange.setReplyTimeoutMs(ms); }
    // Asked before Write sends a value; false leaves the write.
    void setWriteGuard(std::function<bool()> guard) { m_exchange.mayWrite = std::move(guard); }

public slots:
    void FormActivate();
    void ReadFuseClick();
    void StartFuseClick();
    void CancleFuseClick();
    void FormClose();

    // Every way of closing (close box, Escape, Exit) ends here.
    void done(int result) override;

signals:
    // An activation, Read or Write has run to its end.
    void exchangeFinished();
    // A Write sent value: verified (passed) or not, with the result line.
    void fuseWritten(quint8 value, bool passed, const QString &result);

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void setCaption(const QString &caption) override;
    void setResult(const QString &text) override;
    void setReadWriteEnabled(bool enabled) override;
    void setExitCaption(const QString &caption) override;
    void focusExit() override;
    void setDisplay(FuseLayout::Target target, const QString &text) override;
    void setChoice(FuseLayout::Target target, int item) override;
    int choice(FuseLayout::Target target) const override;
    void setFuseName(FuseLayout::Target target, const QString &name) override;
    void setFuse1Enabled(bool enabled) override;

    void buildControls();
    static void nameChoices(RadioGroup *choices);
    void run(void (FuseExchange::*entry)());
    void activateIfShown();
    RadioGroup *group(FuseLayout::Target target) const;

    FuseExchange m_exchange;
    bool m_closePending = false;
    bool m_activationPending = false;

    RadioGroup *m_fuse1 = nullptr;
    RadioGroup *m_fuse2 = nullptr;
    QPushButton *m_startFuse = nullptr;
    QPushButton *m_readFuse = nullptr;
    QPushButton *m_cancleFuse = nullptr;
    QLabel *m_fuseBit1 = nullptr;
    QLabel *m_fuseBit2 = nullptr;
    QLineEdit *m_displays[5] = {};
    QLabel *m_fuseResult = nullptr;
    std::function<void(QLabel *)> m_announceResult;
};
