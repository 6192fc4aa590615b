#pragma once

#include "CommandRunner.h"
#include "DialogFileChooser.h"
#include "HelpSystem.h"
#include "HelpViewer.h"
#include "MemoryBuffer.h"
#include "ProgrammerLink.h"
#include "RunView.h"
#include "SecondaryWindows.h"
#include "SelectionState.h"
#include "SelectionView.h"
#include "TarvoLayout.h"

#include <QMainWindow>

class PaintThrottle;
class Prompter;
class ResetConfirmation;
class QComboBox;

// The main window: the port, programmer, device, buffer and command
// controls, the menus with their shortcuts, and all program state (the
// buffer, the selected device and the link with its flags). Handlers that
// wait for the programmer run nested event processing, so the window may be
// asked to close while one of them is still on the stack: it then closes
// once that handler has returned.
class TTarvoForm : public QMainWindow, public RunView, private SelectionView
{
    Q_OBJECT
public:
    explicit TTarvoForm(Prompter &prompter, QWidget *parent = nullptr);
    ~TTarvoForm() override;

    // Creates the four dialogs, hidden; call once, right after construction.
    void createSecondaryWindows(const SecondaryWindows::Factories &factories);
    const SecondaryWindows &secondaryWindows() const { return m_windows; }

    ProgrammerLink &link() { return m_link; }
    MemoryBuffer &buffer() { return m_buffer; }
    SelectionState &selection() { return m_selection; }
    Prompter &prompter() { return m_prompter; }
    const TarvoLayout &controls() const { return ui; }
    CommandRunner &runner() { return m_runner; }
    HelpSystem &help() { return m_help; }
    HelpViewer &helpViewer() { return m_helpViewer; }
    // The open and save dialogs; tests put their own chooser in.
    void setFileChooser(FileChooser *chooser) { m_chooser = chooser ? chooser : &m_dialogChooser; }
    // Production: the focus stays on Run after each pass (--keep-run-focus).
    void setKeepRunFocus(bool keep) { m_keepRunFocus = keep; }

    // The entry chosen in a list, or -1 while its edit shows other text
    // (nothing chosen yet, or the operator typed).
    static int chosenIndex(const QComboBox *list);

    // A handler is running (possibly waiting), a command is armed or
    // running, or a detection waits.
    bool busy() const;

    // RunView
    void setCommandCaption(const QString &caption, bool armed) override;
    void setStatusLine(int line, const QString &text) override;
    QString statusLine(int line) const override;
    void setGaugeVisible(bool visible) override;
    void setGaugeRange(int minimum, int maximum) override;
    void setGaugeProgress(int progress) override;
    void setRunEnabled(bool enabled) override;
    bool runEnabled() const override;
    void setStopButton(const QString &caption, bool enabled) override;
    void setResetEnabled(bool enabled) override;
    void focusRun() override;
    void focusStop() override;
    void focusAfterFailure() override;
    void showCounts(uint8_t success, uint8_t failure) override;
    void setWindowLocked(bool locked) override;
    void showBufferInfo(const QString &bufferEnd, const QString &bufferSum) override;
    void clearFileName() override;
    void enableBufferCommands() override;

public slots:
    void FileExit1Execute();
    void SelectComPortChange();
    void CheckTarvoClick();

    void SelectDeviceChange();
    void FileOpen1Execute();
    void FileSave1Execute();
    void FileBufferExecute();
    void EraseDeviceClick();
    void BlankDeviceClick();
    void ProgramDeviceClick();
    void VerifyDeviceClick();
    void Lock1Click();
    void Lock2Click();
    void Lock3Click();
    void ReadDeviceClick();
    void AutoProgramClick();
    void StartRunClick();
    void StopRunClick();
    void ResetCountClick();
    void FuseClick();
    void TarvoHelpItemClick();
    void HelpEnglish1Click();
    void HelpAbout1Execute();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    class HandlerScope;
    using Handler = void (TTarvoForm::*)();

    void FormCreate();

    // SelectionView
    void showDeviceFields(const QString &algorithm, const QString &vpp, const QString &deviceEnd) override;
    uint16_t bufferChecksum(uint16_t last) const override;
    void showBufferSum(const QString &text) override;
    void setDeviceMenu(const DeviceMenuState &menu) override;
    void showAdapterNotice() override;
    void focusResetCount() override;
    void focusConnect() override;
    DeviceMenuState deviceMenu() const;
    void showModal(QDialog *dialog);
    void wireControls();
    template <typename Sender, typename Signal>
    void wire(Sender *sender, Signal signal, Handler handler);
    void runHandler(Handler handler);
    void runShortcut(QAction *item, const QMenu *menu);
    void rememberPortEntry();
    void restorePortEntry();
    void detect();
    void closeWhenUnwound();

    Prompter &m_prompter;
    ProgrammerLink m_link;
    MemoryBuffer m_buffer;
    SelectionState m_selection;
    TarvoLayout ui;
    SecondaryWindows m_windows;
    CommandRunner m_runner;
    HelpViewer m_helpViewer;
    HelpSystem m_help;
    DialogFileChooser m_dialogChooser;
    FileChooser *m_chooser = &m_dialogChooser;
    PaintThrottle *m_throttle = nullptr;
    ResetConfirmation *m_resetConfirmation = nullptr;
    bool m_keepRunFocus = false;

    int m_handlerDepth = 0;
    bool m_locked = false;
    bool m_exitRequested = false;
    bool m_closePending = false;
    // The port entry a detection runs on, put back if the list is changed
    // while it waits.
    int m_portIndex = -1;
    QString m_portText;
};
