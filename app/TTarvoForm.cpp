#include "TTarvoForm.h"

#include "DeviceCommand.h"
#include "FuseLauncher.h"
#include "HexFileActions.h"
#include "KeyRepeatGuard.h"
#include "ListKeyChoice.h"
#include "OperatorMode.h"
#include "PaintThrottle.h"
#include "PercentGauge.h"
#include "Prompter.h"
#include "ResetConfirmation.h"
#include "SpokenLabel.h"
#include "WindowNames.h"

#include <QCloseEvent>
#include <QDialog>
#include <QFileInfo>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTimer>


TTarvoForm::TTarvoForm(Prompter &prompter, QWidget *parent)
    : QMainWindow(parent)
    , m_prompter(prompter)
    , m_link(prompter)
    , m_modes(ui)
    , m_ports(ui, m_link, m_session, prompter)
    , m_devices({ui, m_modes, m_session, m_buffer, m_selection, prompter,
                 [this] { showModal(m_windows.adapterForm()); }})
    , m_runner(m_link, m_buffer, m_selection, prompter)
    , m_throttle(new PaintThrottle(this))
    , m_display(*this, ui, *m_throttle, *this)
    , m_help(m_helpViewer)
    , m_dialogChooser(this)
{
    setObjectName(QStringLiteral("TarvoForm"));
    ui.build(this);
    m_runner.addListener(&m_display);
    m_resetConfirmation = new ResetConfirmation(ui.ResetCount, m_prompter);
    WindowNames::nameMainWindow(ui);
    for (QComboBox *list : {ui.SelectComPort, ui.SelectDevice})
        new ListKeyChoice(list);
    addJobItems();
    wireControls();
    FormCreate();
    m_operator = std::make_unique<OperatorMode>(*this);
}

TTarvoForm::~TTarvoForm() = default;

// The job items come after the File menu's own.
void TTarvoForm::addJobItems()
{
    QMenu *file = ui.File1;
    file->addSeparator()->setObjectName(QStringLiteral("N2"));
    const auto add = [file](const char *name, const QString &text, const QString &hint) {
        QAction *a = file->addAction(text);
        a->setObjectName(QLatin1String(name));
        a->setStatusTip(hint);
        return a;
    };
    m_jobItems.open = add("FileOpenJobItem", QStringLiteral("Open Job..."), QStringLiteral("Run A Production Job"));
    m_jobItems.save = add("FileSaveJobItem", QStringLiteral("Save Job..."),
                          QStringLiteral("Save Device, File, Command And Production Settings As A Job"));
    m_jobItems.close = add("FileCloseJobItem", QStringLiteral("Close Job"), QStringLiteral("Leave The Production Job"));
    // In the menu only while a job is open (WindowModes).
    file->removeAction(m_jobItems.close);
    m_jobItems.close->setParent(this);
    m_modes.setJobItems(m_jobItems);
}

void TTarvoForm::createSecondaryWindows(const SecondaryWindows::Factories &factories)
{
    m_windows.create(factories, this);
}

void TTarvoForm::FormCreate()
{
    m_link.forgetHardware();
    m_selection.DeviceSelected = false;
    m_buffer.FileLoaded = false;
    m_buffer.BufferEnd = 511;

    m_display.showCounts({});

    ui.DisplayCommand->setText(CommandTexts::noCommand());
    for (QLabel *line : ui.DisplayRun)
        line->clear();

    // Run and Exit and the ten Device items disabled.
    m_modes.setDeviceMenu(DeviceMenuState());
    m_modes.setMode(WindowModes::Mode::Idle);

    for (QComboBox *list : {ui.SelectComPort, ui.SelectDevice}) {
        const QSignalBlocker block(list);
        list->setCurrentIndex(-1);
        list->clearEditText();
    }
    for (QLineEdit *e : {ui.Device_Algo, ui.Device_Vpp, ui.Device_End, ui.SelectFileName,
                         ui.Buffer_End, ui.Buffer_Sum, ui.Tarvo_Code})
        e->clear();

    // The port applies its fixed line settings itself whenever it opens; no
    // port number is set and nothing is opened until a port is chosen. The
    // link sets its reply timer up itself.
    m_link.clearRequests();

    ui.SelectComPort->setFocus();
}

template <typename Sender, typename Signal>
void TTarvoForm::wire(Sender *sender, Signal signal, Handler handler)
{
    connect(sender, signal, this, [this, handler] { runHandler(handler); });
}

void TTarvoForm::wireControls()
{
    wire(ui.SelectComPort, &QComboBox::activated, &TTarvoForm::SelectComPortChange);
    wire(ui.SelectComPort->lineEdit(), &QLineEdit::textEdited, &TTarvoForm::SelectComPortChange);
    wire(ui.CheckTarvo, &QPushButton::clicked, &TTarvoForm::CheckTarvoClick);
    wire(ui.SelectDevice, &QComboBox::activated, &TTarvoForm::SelectDeviceChange);
    wire(ui.SelectDevice->lineEdit(), &QLineEdit::textEdited, &TTarvoForm::SelectDeviceChange);

    wire(ui.FileOpenItem, &QAction::triggered, &TTarvoForm::FileOpen1Execute);
    wire(ui.FileSaveItem, &QAction::triggered, &TTarvoForm::FileSave1Execute);
    wire(ui.Buffer1, &QAction::triggered, &TTarvoForm::FileBufferExecute);
    wire(ui.FileExitItem, &QAction::triggered, &TTarvoForm::FileExit1Execute);
    wire(m_jobItems.open, &QAction::triggered, &TTarvoForm::FileOpenJobExecute);
    wire(m_jobItems.save, &QAction::triggered, &TTarvoForm::FileSaveJobExecute);
    wire(m_jobItems.close, &QAction::triggered, &TTarvoForm::FileCloseJobExecute);

    wire(ui.EraseDevice, &QAction::triggered, &TTarvoForm::EraseDeviceClick);
    wire(ui.BlankDevice, &QAction::triggered, &TTarvoForm::BlankDeviceClick);
    wire(ui.ProgramDevice, &QAction::triggered, &TTarvoForm::ProgramDeviceClick);
    wire(ui.VerifyDevice, &QAction::triggered, &TTarvoForm::VerifyDeviceClick);
    wire(ui.Lock1, &QAction::triggered, &TTarvoForm::Lock1Click);
    wire(ui.Lock2, &QAction::triggered, &TTarvoForm::Lock2Click);
    wire(ui.Lock3, &QAction::triggered, &TTarvoForm::Lock3Click);
    wire(ui.Fuse, &QAction::triggered, &TTarvoForm::FuseClick);
    wire(ui.ReadDevice, &QAction::triggered, &TTarvoForm::ReadDeviceClick);
    wire(ui.AutoProgram, &QAction::triggered, &TTarvoForm::AutoProgramClick);

    wire(ui.TarvoHelpItem, &QAction::triggered, &TTarvoForm::TarvoHelpItemClick);
    wire(ui.HelpEnglish1, &QAction::triggered, &TTarvoForm::HelpEnglish1Click);
    wire(ui.HelpAboutItem, &QAction::triggered, &TTarvoForm::HelpAbout1Execute);

    wire(ui.StartRun, &QPushButton::clicked, &TTarvoForm::StartRunClick);
    wire(ui.StopRun, &QPushButton::clicked, &TTarvoForm::StopRunClick);
    wire(ui.ResetCount, &QPushButton::clicked, &TTarvoForm::ResetCountClick);

    // A shortcut acts through its menu item, and only while the item and
    // every menu above it are enabled; otherwise the key is still taken.
    for (const TarvoLayout::Shortcut &key : ui.shortcuts())
        connect(key.action, &QAction::triggered, this, [this, key] { runShortcut(key.item, key.menu); });

    // The shortcuts come before the editing keys of the lists and edits
    // (Ctrl+X, Ctrl+A): without this an edit with the focus would take them.
    for (QWidget *w : std::initializer_list<QWidget *>{ui.SelectComPort, ui.SelectDevice, ui.Tarvo_Code,
                                                       ui.Device_Algo, ui.Device_Vpp, ui.Device_End,
                                                       ui.SelectFileName, ui.Buffer_End, ui.Buffer_Sum})
        w->installEventFilter(this);

    connect(&m_link, &ProgrammerLink::statusText, ui.StatusBar,
            [bar = ui.StatusBar](const QString &text) { bar->showMessage(text); });

    // The fields that show the session.
    connect(&m_session, &BenchSession::firmwareDateChanged, ui.Tarvo_Code, &QLineEdit::setText);
    connect(&m_session, &BenchSession::fileNameChanged, ui.SelectFileName, &QLineEdit::setText);
    connect(&m_session, &BenchSession::checksumChanged, ui.Buffer_Sum, &QLineEdit::setText);
}

void TTarvoForm::runHandler(Handler handler)
{
    const HandlerDepth::Scope scope(m_handlers);
    (this->*handler)();
}

void TTarvoForm::runShortcut(QAction *item, const QMenu *menu)
{
    if (isEnabled() && menuBar()->isEnabled() && menu->isEnabled() && menu->menuAction()->isEnabled())
        item->trigger(); // does nothing while the item itself is disabled
}

bool TTarvoForm::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        const QKeySequence key(static_cast<QKeyEvent *>(event)->keyCombination());
        for (const TarvoLayout::Shortcut &shortcut : ui.shortcuts()) {
            if (shortcut.action->shortcut() == key) {
                event->ignore();
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

bool TTarvoForm::busy() const
{
    return m_handlers.depth() > 0 || m_modes.mode() != WindowModes::Mode::Idle || m_link.detecting()
        || m_runner.active();
}

// ---- Exit and closing ----

void TTarvoForm::FileExit1Execute()
{
    // A detection waiting for a reply takes this as a Stop and asks the
    // stop question; the window closes when that handler has returned.
    m_link.requestStop();
    m_exitRequested = true;
    close();
    m_exitRequested = false;
}

void TTarvoForm::closeEvent(QCloseEvent *event)
{
    if (busy()) {
        // Closed by the close box in the middle of a wait: end the wait
        // without asking. File > Exit has asked for a stop already.
        if (!m_exitRequested)
            m_link.requestShutdown();
        // A dialog of ours still open over the window (the fuse editor in
        // its exchange, the viewer) would hold the handler that shows it.
        for (QDialog *dialog : {m_windows.fuseForm(), m_windows.editForm(), m_windows.aboutBox(),
                                m_windows.adapterForm()})
            if (dialog && dialog->isVisible())
                dialog->close();
        m_closePending = true;
        event->ignore();
        return;
    }
    m_closePending = false;
    m_link.port().close();
    QMainWindow::closeEvent(event);
}

void TTarvoForm::closeWhenUnwound()
{
    if (!m_closePending)
        return;
    // Deferred, so that the close happens outside the handler that unwound.
    QTimer::singleShot(0, this, [this] {
        if (m_closePending && !busy())
            close();
    });
}

// ---- Port choice and hardware detection ----

void TTarvoForm::SelectComPortChange()
{
    m_ports.choose();
}

void TTarvoForm::CheckTarvoClick()
{
    m_ports.check();
}

// ---- What the run display asks of the window ----

QString TTarvoForm::statusLine(int line) const
{
    if (line < 1 || line > int(ui.DisplayRun.size()))
        return {};
    return ui.DisplayRun[size_t(line - 1)]->text();
}

bool TTarvoForm::runEnabled() const
{
    return ui.StartRun->isEnabled();
}

void TTarvoForm::setWindowLocked(bool locked)
{
    setMode(locked ? WindowModes::Mode::Armed : WindowModes::Mode::Idle);
}

void TTarvoForm::setMode(WindowModes::Mode mode)
{
    m_modes.setMode(mode);
    if (mode == WindowModes::Mode::Idle) {
        // The command was left: Enter on Connect does no harm (Reset, next
        // in the tab order after Exit, would clear the counters).
        ui.CheckTarvo->setFocus();
        KeyRepeatGuard::focusMoved();
        closeWhenUnwound();
    }
}

void TTarvoForm::showReadBuffer(const QString &bufferEnd, const QString &bufferSum)
{
    m_openedFile.clear();
    ui.Buffer_End->setText(bufferEnd);
    m_session.setChecksum(bufferSum);
    m_session.setFileName(QString());
}

void TTarvoForm::enableBufferCommands()
{
    m_modes.enableBufferCommands();
}

// ---- Device choice ----

void TTarvoForm::SelectDeviceChange()
{
    m_devices.choose();
}

void TTarvoForm::showModal(QDialog *dialog)
{
    if (dialog)
        dialog->exec();
}

void TTarvoForm::focusResetCount()
{
    ui.ResetCount->setFocus();
}

// ---- Files and the buffer viewer ----

void TTarvoForm::FileOpen1Execute()
{
    const QString path = m_chooser->openFileName();
    if (path.isEmpty())
        return;
    m_session.setFileName(HexFileActions::bareFileName(path));
    const HexFileActions::OpenOutcome out = HexFileActions::OpenHexFile(path, m_buffer, m_selection, m_prompter);
    if (out.showBufferEnd)
        ui.Buffer_End->setText(out.bufferEndText);
    m_openedFile = out.finished ? path : QString();
    if (out.finished) {
        if (out.enableBufferCommands)
            enableBufferCommands();
        m_session.setChecksum(out.bufferSumText);
    }
    focusResetCount();
}

void TTarvoForm::FileSave1Execute()
{
    const QString path = m_chooser->saveFileName();
    if (!path.isEmpty())
        HexFileActions::SaveHexFile(path, m_buffer, m_selection, m_prompter);
    focusResetCount();
}

void TTarvoForm::FileBufferExecute()
{
    showModal(m_windows.editForm());
    focusResetCount();
}

// ---- Device commands ----

using Command = DeviceCommand::Id;

void TTarvoForm::EraseDeviceClick() { m_runner.arm(DeviceCommand::get(Command::Erase)); }
void TTarvoForm::BlankDeviceClick() { m_runner.arm(DeviceCommand::get(Command::Blank)); }
void TTarvoForm::ProgramDeviceClick() { m_runner.arm(DeviceCommand::get(Command::Program)); }
void TTarvoForm::VerifyDeviceClick() { m_runner.arm(DeviceCommand::get(Command::Verify)); }
void TTarvoForm::Lock1Click() { m_runner.arm(DeviceCommand::get(Command::Lock1)); }
void TTarvoForm::Lock2Click() { m_runner.arm(DeviceCommand::get(Command::Lock2)); }
void TTarvoForm::Lock3Click() { m_runner.arm(DeviceCommand::get(Command::Lock3)); }
void TTarvoForm::ReadDeviceClick() { m_runner.arm(DeviceCommand::get(Command::Read)); }
void TTarvoForm::AutoProgramClick() { m_runner.arm(DeviceCommand::get(Command::Auto)); }

void TTarvoForm::StartRunClick()
{
    m_runner.StartRunClick();
}

void TTarvoForm::StopRunClick()
{
    m_runner.StopRunClick();
}

void TTarvoForm::ResetCountClick()
{
    if (m_resetConfirmation->allowed())
        m_runner.ResetCountClick();
}

void TTarvoForm::FuseClick()
{
    FuseLauncher::FuseClick(m_link, ui.Fuse->isEnabled(), [this] { showModal(m_windows.fuseForm()); });
    focusResetCount();
}

// ---- Help ----

void TTarvoForm::TarvoHelpItemClick()
{
    m_help.showThaiHelp();
}

void TTarvoForm::HelpEnglish1Click()
{
    m_help.showEnglishHelp();
}

void TTarvoForm::HelpAbout1Execute()
{
    showModal(m_windows.aboutBox());
    focusResetCount();
}

// ---- Jobs ----

bool TTarvoForm::openJob(const QString &path)
{
    if (!m_operator->open(path))
        return false;
    m_jobSaver.takeSettings(*m_operator->job(), path);
    return true;
}

void TTarvoForm::showImage(const QString &path, const QString &checksum)
{
    m_openedFile = path;
    m_session.setFileName(HexFileActions::bareFileName(path));
    m_session.setChecksum(checksum);
}

void TTarvoForm::FileOpenJobExecute()
{
    if (const QString path = m_chooser->openJobName(); !path.isEmpty())
        openJob(path);
}

void TTarvoForm::FileSaveJobExecute()
{
    const QString path = m_chooser->saveJobName();
    if (path.isEmpty())
        return;
    if (QFileInfo::exists(path) && !m_prompter.confirm(QStringLiteral("%1 exists. Replace it?").arg(path)))
        return;
    if (QString why; !m_jobSaver.save(path, &why))
        m_prompter.defaultError(why);
    else
        ui.StatusBar->showMessage(QStringLiteral("Job saved: %1").arg(path));
    focusResetCount();
}

void TTarvoForm::FileCloseJobExecute()
{
    m_operator->close();
}
