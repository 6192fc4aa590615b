#pragma once

#include "BenchSession.h"
#include "CommandRunner.h"
#include "DeviceChoice.h"
#include "DialogFileChooser.h"
#include "HandlerDepth.h"
#include "HelpSystem.h"
#include "HelpViewer.h"
#include "JobSaver.h"
#include "MemoryBuffer.h"
#include "PortChoice.h"
#include "ProgrammerLink.h"
#include "RunDisplayHost.h"
#include "SecondaryWindows.h"
#include "SelectionState.h"
#include "TarvoLayout.h"
#include "WindowRunDisplay.h"
#include "WindowModes.h"

#include <memory>

#include <QMainWindow>

class OperatorMode;
class PaintThrottle;
class Prompter;
class ResetConfirmation;
class QComboBox;

// The main window: the port, programmer, device, buffer and command
// controls, the menus with their shortcuts, and all program state (the
// buffer, the selected device, the link, the bench's session
// and the window's mode). Handlers that wait for the programmer run nested
// event processing, so the window may be asked to close while one of them is
// still on the stack: it then closes once that handler has returned.
class TTarvoForm : public QMainWindow, public RunDisplayHost
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
    const BenchSession &session() const { return m_session; }
    const WindowModes &modes() const { return m_modes; }
    Prompter &prompter() { return m_prompter; }
    const TarvoLayout &controls() const { return ui; }
    CommandRunner &runner() { return m_runner; }
    WindowRunDisplay &runDisplay() { return m_display; }
    HelpSystem &help() { return m_help; }
    HelpViewer &helpViewer() { return m_helpViewer; }
    // The open and save dialogs; tests put their own chooser in.
    void setFileChooser(FileChooser *chooser) { m_chooser = chooser ? chooser : &m_dialogChooser; }
    // Production: the focus stays on Run after each pass (--keep-run-focus).
    void setKeepRunFocus(bool keep) { m_display.setKeepRunFocus(keep); }

    // The entry chosen in a list, or -1 while its edit shows other text
    // (nothing chosen yet, or the operator typed).
    static int chosenIndex(const QComboBox *list) { return PortChoice::chosenIndex(list); }

    // A handler is running (possibly waiting), a command is armed or
    // running, or a detection waits.
    bool busy() const;

    // What a status line (1..6) shows, and whether Run is enabled: what the
    // operator sees, for tests and screenshots. The program itself asks the
    // runner (state(), counts()), never the widgets.
    QString statusLine(int line) const;
    bool runEnabled() const;

    // Armed (held for a command) or Idle.
    void setWindowLocked(bool locked);

    // Operator mode: the job's lock on the controls, the job and Save Job.
    void setJobLock(const WindowModes::JobLock &lock) { m_modes.setJobLock(lock); }
    OperatorMode &operatorMode() { return *m_operator; }
    JobSaver &jobSaver() { return m_jobSaver; }
    // Opens the job at path in operator mode; false after an error box.
    bool openJob(const QString &path);
    // The image file the buffer was loaded from, empty after a read.
    const QString &openedFile() const { return m_openedFile; }
    // An image loaded by other means than File > Open: the session shows it.
    void showImage(const QString &path, const QString &checksum);
    // Closed by the close box while a handler waits: it closes once unwound.
    bool closePending() const { return m_closePending; }

    // RunDisplayHost
    void setMode(WindowModes::Mode mode) override;
    void enableBufferCommands() override;
    void showReadBuffer(const QString &bufferEnd, const QString &bufferSum) override;
    void countsShown(RunCounts counts) override { m_session.setCounts(counts.success, counts.failure); }
    bool deviceSelected() const override { return m_selection.DeviceSelected; }

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
    void FileOpenJobExecute();
    void FileSaveJobExecute();
    void FileCloseJobExecute();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    using Handler = void (TTarvoForm::*)();

    void FormCreate();

    void focusResetCount();
    void showModal(QDialog *dialog);
    void wireControls();
    template <typename Sender, typename Signal>
    void wire(Sender *sender, Signal signal, Handler handler);
    void runHandler(Handler handler);
    void runShortcut(QAction *item, const QMenu *menu);
    void closeWhenUnwound();
    void addJobItems();

    Prompter &m_prompter;
    ProgrammerLink m_link;
    MemoryBuffer m_buffer;
    SelectionState m_selection;
    BenchSession m_session;
    TarvoLayout ui;
    WindowModes m_modes;
    PortChoice m_ports;
    DeviceChoice m_devices;
    SecondaryWindows m_windows;
    CommandRunner m_runner;
    PaintThrottle *m_throttle = nullptr;
    WindowRunDisplay m_display;
    HelpViewer m_helpViewer;
    HelpSystem m_help;
    DialogFileChooser m_dialogChooser;
    FileChooser *m_chooser = &m_dialogChooser;
    ResetConfirmation *m_resetConfirmation = nullptr;
    JobSaver m_jobSaver{*this};
    // After m_runner, so that it is gone (and off the runner) first.
    std::unique_ptr<OperatorMode> m_operator;
    QString m_openedFile;
    WindowModes::JobItems m_jobItems;

    HandlerDepth m_handlers{[this] { closeWhenUnwound(); }};
    bool m_exitRequested = false;
    bool m_closePending = false;
};
