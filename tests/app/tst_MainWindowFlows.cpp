#include "EmulatorReceived.h"
#include "WindowDriver.h"
#include "HexFileActions.h"
#include "OperatorScript.h"
#include "ProgramDialogs.h"
#include "ProgrammerEmulator.h"
#include "ProgrammerLink.h"
#include "ScriptedPrompter.h"
#include "TEditForm.h"
#include "TFuseForm.h"
#include "TTarvoForm.h"

#include "DeviceCatalogue.h"
#include "PercentGauge.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <functional>

using Icon = Prompter::Icon;

namespace {

// The file dialogs: each answers with the path the test set, and counts.
class TestChooser : public FileChooser
{
public:
    QString openFileName() override
    {
        ++opens;
        return openPath;
    }
    QString saveFileName() override
    {
        ++saves;
        return savePath;
    }
    QString openPath;
    QString savePath;
    int opens = 0;
    int saves = 0;
};

QByteArray randomBytes(int size, quint32 seed)
{
    QRandomGenerator gen(seed);
    QByteArray data(size, Qt::Uninitialized);
    for (char &c : data)
        c = char(gen.bounded(256));
    return data;
}

QString sumText(const QByteArray &data)
{
    uint32_t sum = 0;
    for (char c : data)
        sum += uint8_t(c);
    return QStringLiteral("%1H").arg(sum & 0xFFFF, 4, 16, QLatin1Char('0')).toUpper();
}

// Intel HEX, 16-byte data records from `start`, CR LF, end record.
bool writeHexFile(const QString &path, const QByteArray &data, uint16_t start = 0)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    for (int offset = 0; offset < data.size(); offset += 16) {
        const QByteArray chunk = data.mid(offset, 16);
        const uint16_t address = uint16_t(start + offset);
        uint8_t sum = uint8_t(chunk.size() + (address >> 8) + (address & 0xFF));
        QByteArray line = ":" + QByteArray::number(chunk.size(), 16).rightJustified(2, '0')
                        + QByteArray::number(address, 16).rightJustified(4, '0') + "00";
        for (char c : chunk) {
            line += QByteArray::number(uint8_t(c), 16).rightJustified(2, '0');
            sum = uint8_t(sum + uint8_t(c));
        }
        line += QByteArray::number(uint8_t(0x100 - sum) & 0xFF, 16).rightJustified(2, '0');
        file.write(line.toUpper() + "\r\n");
    }
    file.write(":00000001FF\r\n");
    return file.error() == QFileDevice::NoError;
}

std::atomic<int> sizeHintWarnings{0};
QtMessageHandler previousHandler = nullptr;

void countSizeHintWarnings(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.contains(QLatin1String("propagateSizeHints")))
        ++sizeHintWarnings;
    if (previousHandler)
        previousHandler(type, context, message);
}

const QStringList DeviceItems = {"EraseDevice", "BlankDevice", "ProgramDevice", "VerifyDevice", "Lock1",
                                 "Lock2", "Lock3", "Fuse", "ReadDevice", "AutoProgram"};

} // namespace

// Whole operator sessions through the real main window and its real dialogs,
// against the emulated programmer on a pseudo-terminal.
class TestMainWindowFlows : public QObject
{
    Q_OBJECT

    template <typename T>
    T *find(const char *name)
    {
        return WindowDriver::control<T>(m_form.get(), name);
    }
    QAction *item(const char *name) { return find<QAction>(name); }
    QString text(const char *name)
    {
        if (auto *e = m_form->findChild<QLineEdit *>(QLatin1String(name)))
            return e->text();
        if (auto *b = m_form->findChild<QPushButton *>(QLatin1String(name)))
            return b->text();
        return find<QLabel>(name)->text();
    }
    QString line(int n) { return m_form->statusLine(n); }
    // The control that has, or gets back, the focus of the main window (after
    // a dialog the offscreen platform does not give the window back its
    // activation by itself).
    QWidget *focus() { return m_form->focusWidget(); }
    // A key with Ctrl, as the operator types it into the window.
    void ctrlKey(Qt::Key key)
    {
        QWidget *target = QApplication::focusWidget();
        QTest::keyClick(target ? target : m_form.get(), key, Qt::ControlModifier);
    }
    const TarvoLayout &ui() { return m_form->controls(); }

    // The enabled Device items, by name, in menu order.
    QStringList enabledDeviceItems()
    {
        QStringList on;
        for (const QString &name : DeviceItems)
            if (item(qPrintable(name))->isEnabled())
                on << name;
        return on;
    }
    // The controls a command locks, those still enabled.
    QStringList unlockedControls()
    {
        QStringList on;
        const std::pair<const char *, QWidget *> controls[] = {
            {"CheckTarvo", ui().CheckTarvo},     {"File1", ui().File1},
            {"Operation1", ui().Operation1},     {"Help1", ui().Help1},
            {"SelectComPort", ui().SelectComPort}, {"SelectDevice", ui().SelectDevice},
        };
        for (const auto &[name, w] : controls)
            if (w->isEnabled())
                on << QString::fromLatin1(name);
        return on;
    }
    const QStringList allLockable = {"CheckTarvo", "File1", "Operation1", "Help1", "SelectComPort", "SelectDevice"};

    bool armed() { return m_form->runner().active() && !m_form->runner().running() && m_form->runEnabled(); }

    void choose(QComboBox *list, int index) { WindowDriver::chooseEntry(list, index); }
    void choosePort(int index) { choose(ui().SelectComPort, index); }
    void chooseDevice(const char *name) { choose(ui().SelectDevice, DeviceCatalogue::indexOf(QLatin1String(name))); }

    void activate()
    {
        m_form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    }

    void loadFile(const QString &path)
    {
        m_chooser.openPath = path;
        item("FileOpenItem")->trigger();
    }

    // What the program sent after the last frame's checksum.
    QByteArray sentAfterLastFrame()
    {
        const QList<ReceivedFrame> frames = m_emu->frames();
        if (frames.isEmpty())
            return {};
        return m_emu->received().mid(frames.last().streamOffset + 12);
    }
    bool canArrivesAfterLastFrame()
    {
        if (m_form->link().port().isOpen())
            m_form->link().port().flush();
        return EmulatorReceived::arrived([this] { return sentAfterLastFrame().contains(Ctl::CAN); });
    }

    void expectIdle()
    {
        QCOMPARE(text("DisplayCommand"), QStringLiteral("No Command Select?"));
        QVERIFY(!ui().StartRun->isEnabled());
        QVERIFY(!ui().StopRun->isEnabled());
        QCOMPARE(text("StopRun"), QStringLiteral("Exit"));
        QVERIFY(ui().ResetCount->isEnabled());
        QCOMPARE(unlockedControls(), allLockable);
        QVERIFY(!m_form->busy());
    }

private slots:
    void initTestCase()
    {
        previousHandler = qInstallMessageHandler(countSizeHintWarnings);
    }
    void cleanupTestCase()
    {
        qInstallMessageHandler(previousHandler);
    }

    void init()
    {
        QVERIFY(m_dir.isValid());
        m_emu = std::make_unique<ProgrammerEmulator>();
        QString error;
        QVERIFY2(m_emu->start(&error), qPrintable(error));
        qputenv("TARVO_COM1", m_emu->slavePath().toLocal8Bit());
        qputenv("TARVO_COM2", QFile::encodeName(m_dir.filePath(QStringLiteral("no-such-tty"))));
        m_context = std::make_unique<QObject>();
        m_prompter = std::make_unique<ScriptedPrompter>();
        m_chooser = TestChooser();
        m_form = std::make_unique<TTarvoForm>(*m_prompter);
        m_form->setFileChooser(&m_chooser);
        m_form->createSecondaryWindows(programDialogs(*m_form));
        m_form->show();
        activate();

        // Should a flow wait for something that never comes, end every wait
        // and every dialog so the test fails instead of hanging.
        m_watchdogFired = false;
        auto *watchdog = new QTimer(m_context.get());
        watchdog->setSingleShot(true);
        connect(watchdog, &QTimer::timeout, m_context.get(), [this] {
            m_watchdogFired = true;
            if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
                dialog->reject();
            m_form->link().requestShutdown();
        });
        watchdog->start(20000);
    }
    void cleanup()
    {
        const bool fired = m_watchdogFired;
        m_context.reset();
        m_form.reset();
        m_prompter.reset();
        m_emu.reset();
        qunsetenv("TARVO_COM1");
        qunsetenv("TARVO_COM2");
        QVERIFY2(!fired, "a flow did not finish in time");
    }

    // One production session: detect, choose the device, load the file,
    // program two devices, leave the command.
    void productionFlow()
    {
        choosePort(0);
        QVERIFY(m_form->link().HardwareFound());
        QCOMPARE(text("Tarvo_Code"), QStringLiteral("15/08/2003"));

        chooseDevice("AT89C2051");
        QCOMPARE(text("Device_Algo"), QStringLiteral("89CX051"));
        QCOMPARE(text("Device_Vpp"), QStringLiteral("+12V"));
        QCOMPARE(text("Device_End"), QStringLiteral("07FFH"));
        QCOMPARE(text("Buffer_Sum"), QStringLiteral("0000H"));
        QCOMPARE(enabledDeviceItems(), QStringList({"EraseDevice", "BlankDevice", "Lock1", "Lock2", "ReadDevice"}));
        QCOMPARE(focus(), ui().CheckTarvo);

        const QByteArray image = randomBytes(0x800, 2051);
        const QString path = m_dir.filePath(QStringLiteral("Image2051.hex"));
        QVERIFY(writeHexFile(path, image));
        loadFile(path);
        QCOMPARE(m_prompter->texts(), QStringList());
        QCOMPARE(text("SelectFileName"), QStringLiteral("Image2051.hex"));
        QCOMPARE(text("Buffer_End"), QStringLiteral("07FFH"));
        QCOMPARE(text("Buffer_Sum"), sumText(image));
        QCOMPARE(enabledDeviceItems(), QStringList({"EraseDevice", "BlankDevice", "ProgramDevice", "VerifyDevice",
                                                    "Lock1", "Lock2", "ReadDevice", "AutoProgram"}));
        QCOMPARE(focus(), ui().ResetCount);

        // The per-byte display, sampled while the blocks go out.
        static const QRegularExpression perByte(QStringLiteral("^Program\\.{7}[0-9A-F]{4}$"));
        QStringList badSamples;
        int samples = 0;
        int lastAddress = -1;
        bool addressesAscend = true;

        QString armedCaption, armedFocus, lockedWhileArmed;
        QString firstPass, countAfterFirst, focusAfterFirst, countAfterSecond;
        bool gaugeShownAfterFirst = false;
        int gaugeAfterFirst = -1;
        QByteArray flashAfterFirst;
        OperatorScript script;
        script.onPoll = [&] {
            if (!m_form->runner().running())
                return;
            const QString shown = line(1);
            if (!shown.startsWith(QLatin1String("Program.......")) || shown == QLatin1String("Program.......Pass"))
                return;
            ++samples;
            if (!perByte.match(shown).hasMatch()) {
                badSamples << shown;
                return;
            }
            const int address = shown.right(4).toInt(nullptr, 16);
            if (address < lastAddress)
                addressesAscend = false;
            lastAddress = address;
        };
        script
            .then("armed", [&] { return armed(); },
                  [&] {
                      armedCaption = text("DisplayCommand");
                      armedFocus = focus() ? focus()->objectName() : QString();
                      lockedWhileArmed = unlockedControls().join(QLatin1Char(','));
                      sizeHintWarnings = 0;
                      ui().StartRun->click();
                  })
            .then("first pass", [&] { return armed() && line(1) == QLatin1String("Program.......Pass"); },
                  [&] {
                      firstPass = line(1);
                      countAfterFirst = text("PassCount");
                      focusAfterFirst = focus() ? focus()->objectName() : QString();
                      flashAfterFirst = m_emu->flash(0x01).left(0x800);
                      gaugeShownAfterFirst = ui().PercentRun->isVisible();
                      gaugeAfterFirst = ui().PercentRun->progress();
                      lastAddress = -1;
                      ui().StartRun->click();
                  })
            .then("second pass", [&] { return armed() && text("PassCount") == QLatin1String("Success : 2"); },
                  [&] {
                      countAfterSecond = text("PassCount");
                      ui().StopRun->click();
                  });
        script.start();
        item("ProgramDevice")->trigger();
        script.stop();

        QVERIFY2(script.finished(), qPrintable(script.pending()));
        QCOMPARE(armedCaption, QStringLiteral("  Program Device  "));
        QCOMPARE(armedFocus, QStringLiteral("StartRun"));
        QCOMPARE(lockedWhileArmed, QString());
        QCOMPARE(firstPass, QStringLiteral("Program.......Pass"));
        QCOMPARE(countAfterFirst, QStringLiteral("Success : 1"));
        QCOMPARE(focusAfterFirst, QStringLiteral("StopRun"));
        QCOMPARE(flashAfterFirst, image);
        QVERIFY(gaugeShownAfterFirst);
        QCOMPARE(gaugeAfterFirst, 0x07FF);
        QCOMPARE(countAfterSecond, QStringLiteral("Success : 2"));
        QCOMPARE(m_emu->flash(0x01).left(0x800), image);
        QCOMPARE(m_emu->commandWords(), QStringList({"0D000000", "01000001", "01000001"}));
        QCOMPARE(m_emu->blocksReceived(), 64);

        QVERIFY(badSamples.isEmpty());
        QVERIFY2(samples > 0, "no per-byte display was seen");
        QVERIFY(addressesAscend);
        // Fixed geometry: a status line changing per byte does not reach
        // the window's size hints.
        QVERIFY2(sizeHintWarnings < 10, qPrintable(QString::number(sizeHintWarnings)));

        expectIdle();
        for (int n = 1; n <= 6; ++n)
            QCOMPARE(line(n), QString());
        QVERIFY(!ui().PercentRun->isVisible());
        QCOMPARE(text("FailCount"), QStringLiteral("Failure : 0"));
        QCOMPARE(m_prompter->texts(), QStringList());

        activate();
        ctrlKey(Qt::Key_X);
        QTRY_VERIFY(!m_form->isVisible());
        QVERIFY(!m_form->link().port().isOpen());
        QCOMPARE(m_prompter->texts(), QStringList());
    }

    // Stop pressed while the blocks go out: Yes ends the run as a break, No
    // lets it pass as if nothing had happened.
    void stopDuringProgram_data()
    {
        QTest::addColumn<bool>("stop");
        QTest::newRow("Yes") << true;
        QTest::newRow("No") << false;
    }
    void stopDuringProgram()
    {
        QFETCH(bool, stop);
        choosePort(0);
        chooseDevice("AT89C2051");
        const QByteArray image = randomBytes(0x800, 99);
        const QString path = m_dir.filePath(QStringLiteral("Stop.hex"));
        QVERIFY(writeHexFile(path, image));
        loadFile(path);
        m_form->runner().setTimeouts({300, 300});
        m_prompter->defaultAnswer = stop ? Prompter::Answer::Yes : Prompter::Answer::No;

        QString stopCaption;
        bool resetDuringRun = true;
        // Run and Stop/Exit from the keyboard: Return and keypad Enter press
        // the focused button.
        QWidget *runFocus = nullptr;
        QWidget *passFocus = nullptr;
        OperatorScript script;
        script.then("armed", [&] { return armed(); },
                    [&] {
                        runFocus = focus();
                        QTest::keyClick(focus(), Qt::Key_Return);
                    })
            .then("blocks going out",
                  [&] { return m_form->runner().running() && m_emu->blocksReceived() >= 3; },
                  [&] {
                      stopCaption = text("StopRun");
                      resetDuringRun = ui().ResetCount->isEnabled();
                      ui().StopRun->setFocus();
                      QTest::keyClick(focus(), Qt::Key_Enter, Qt::KeypadModifier);
                  });
        if (!stop)
            script.then("pass", [&] { return armed(); },
                        [&] {
                            passFocus = focus();
                            QTest::keyClick(focus(), Qt::Key_Return);
                        });
        script.start();
        item("ProgramDevice")->trigger();
        script.stop();

        QVERIFY2(script.finished(), qPrintable(script.pending()));
        QCOMPARE(stopCaption, QStringLiteral("Stop"));
        QVERIFY(!resetDuringRun);
        QCOMPARE(runFocus, ui().StartRun);
        if (!stop)
            QCOMPARE(passFocus, ui().StopRun);
        QCOMPARE(m_prompter->texts(), QStringList({"Do you want to Stop Command..?"}));
        QCOMPARE(m_prompter->shown[0].icon, Icon::Question);
        QCOMPARE(m_prompter->shown[0].buttons, Prompter::Buttons::YesNo);
        if (stop) {
            QCOMPARE(line(1), QStringLiteral("Program......Break"));
            QCOMPARE(line(2), QStringLiteral("Command......Abort"));
            QCOMPARE(text("FailCount"), QStringLiteral("Failure : 1"));
            QCOMPARE(text("PassCount"), QStringLiteral("Success : 0"));
            QVERIFY(canArrivesAfterLastFrame());
            // Run and Exit are off: the focus waits on Connect.
            QCOMPARE(focus(), ui().CheckTarvo);
        } else {
            QCOMPARE(text("PassCount"), QStringLiteral("Success : 1"));
            QCOMPARE(text("FailCount"), QStringLiteral("Failure : 0"));
            QCOMPARE(m_emu->flash(0x01).left(0x800), image);
        }
        expectIdle();
    }

    // Read a device into the buffer, then save the buffer over an older file.
    void readThenSave()
    {
        choosePort(0);
        chooseDevice("AT89C2051");
        const QByteArray flash = randomBytes(0x800, 1234);
        m_emu->setFlash(0x01, flash);

        // A file that cannot be opened still shows its name; nothing loads.
        loadFile(m_dir.filePath(QStringLiteral("Missing.hex")));
        QCOMPARE(m_prompter->texts(), QStringList({"Open File Error!!!"}));
        QCOMPARE(text("SelectFileName"), QStringLiteral("Missing.hex"));
        QVERIFY(!item("ProgramDevice")->isEnabled());
        m_prompter->clear();

        QString passText;
        OperatorScript script;
        script.then("armed", [&] { return armed(); }, [&] { ui().StartRun->click(); })
            .then("pass", [&] { return armed() && line(1) == QLatin1String("Read..........Pass"); },
                  [&] {
                      passText = line(1);
                      ui().StopRun->click();
                  });
        script.start();
        item("ReadDevice")->trigger();
        script.stop();

        QVERIFY2(script.finished(), qPrintable(script.pending()));
        QCOMPARE(passText, QStringLiteral("Read..........Pass"));
        QCOMPARE(m_prompter->texts(), QStringList());
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(m_form->buffer().data()), 0x800), flash);
        QCOMPARE(text("Buffer_End"), QStringLiteral("07FFH"));
        QCOMPARE(m_form->buffer().BufferEnd, uint16_t(0x07FF));
        QCOMPARE(text("Buffer_Sum"), sumText(flash));
        QCOMPARE(text("SelectFileName"), QString());
        QCOMPARE(text("PassCount"), QStringLiteral("Success : 1"));
        QVERIFY(!m_form->buffer().FileLoaded);
        QCOMPARE(enabledDeviceItems(), QStringList({"EraseDevice", "BlankDevice", "ProgramDevice", "VerifyDevice",
                                                    "Lock1", "Lock2", "ReadDevice", "AutoProgram"}));
        expectIdle();

        // The viewer lists what was read.
        QString firstLine;
        int lines = 0;
        OperatorScript view;
        view.then("viewer", [] { return qobject_cast<TEditForm *>(QApplication::activeModalWidget()); },
                  [&] {
                      auto *viewer = qobject_cast<TEditForm *>(QApplication::activeModalWidget());
                      lines = viewer->TextDisplay->document()->blockCount();
                      firstLine = viewer->TextDisplay->document()->firstBlock().text();
                      viewer->reject();
                  });
        view.start();
        item("Buffer1")->trigger();
        view.stop();
        QVERIFY2(view.finished(), qPrintable(view.pending()));
        QCOMPARE(lines, 128);
        QString hex;
        for (int i = 0; i < 16; ++i)
            hex += QStringLiteral("%1 ").arg(uint8_t(flash[i]), 2, 16, QLatin1Char('0')).toUpper();
        QVERIFY2(firstLine.startsWith(QStringLiteral("0000 : ") + hex), qPrintable(firstLine));

        const QString savePath = m_dir.filePath(QStringLiteral("Read2051.hex"));
        {
            QFile old(savePath);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write(":0100000055AA\r\n:00000001FF\r\n");
        }
        m_chooser.savePath = savePath;
        m_prompter->queue(Prompter::Answer::Yes);
        activate();
        ctrlKey(Qt::Key_S);
        QCOMPARE(m_chooser.saves, 1);
        QCOMPARE(m_prompter->texts(), QStringList({"Do you want to overwrite?"}));
        QCOMPARE(m_prompter->shown[0].icon, Icon::Question);
        QCOMPARE(focus(), ui().ResetCount);

        MemoryBuffer reloaded;
        SelectionState selection;
        selection.SelectedDevice = DeviceCatalogue::row(DeviceCatalogue::indexOf(QStringLiteral("AT89C2051")));
        selection.DeviceSelected = true;
        ScriptedPrompter quiet;
        const HexFileActions::OpenOutcome out = HexFileActions::OpenHexFile(savePath, reloaded, selection, quiet);
        QVERIFY(out.finished);
        QCOMPARE(quiet.texts(), QStringList());
        QCOMPARE(reloaded.BufferEnd, uint16_t(0x07FF));
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(reloaded.data()), 0x800), flash);
    }

    // An armed command holds the window: the shortcuts and the locked
    // controls do nothing, Reset still works.
    void armedCommandHoldsTheWindow()
    {
        choosePort(0);
        chooseDevice("AT89C2051");

        int opensDuring = -1, savesDuring = -1;
        bool visibleDuring = false, stopFlagDuring = true;
        QString lockedDuring, countBeforeReset, countAfterReset, resetEnabled;
        OperatorScript script;
        script.rejectStrayModals = true;
        script.then("armed", [&] { return armed(); }, [&] { ui().StartRun->click(); })
            .then("pass", [&] { return armed() && line(1) == QLatin1String("Erase.........Pass"); },
                  [&] {
                      countBeforeReset = text("PassCount");
                      for (Qt::Key key : {Qt::Key_O, Qt::Key_S, Qt::Key_B, Qt::Key_X, Qt::Key_A})
                          ctrlKey(key);
                      opensDuring = m_chooser.opens;
                      savesDuring = m_chooser.saves;
                      visibleDuring = m_form->isVisible();
                      stopFlagDuring = m_form->link().StopRequested();
                      lockedDuring = unlockedControls().join(QLatin1Char(','));
                      resetEnabled = ui().ResetCount->isEnabled() ? QStringLiteral("yes") : QStringLiteral("no");
                      // A click of the mouse clears the counters without a question.
                      QTest::mouseClick(ui().ResetCount, Qt::LeftButton);
                      countAfterReset = text("PassCount");
                  })
            .then("leave", [] { return true; }, [&] { ui().StopRun->click(); });
        script.start();
        item("EraseDevice")->trigger();
        script.stop();

        QVERIFY2(script.finished(), qPrintable(script.pending()));
        QCOMPARE(opensDuring, 0);
        QCOMPARE(savesDuring, 0);
        QVERIFY(visibleDuring);
        QVERIFY(!stopFlagDuring);
        QCOMPARE(script.strayModals, QStringList());
        QCOMPARE(lockedDuring, QString());
        QCOMPARE(resetEnabled, QStringLiteral("yes"));
        QCOMPARE(countBeforeReset, QStringLiteral("Success : 1"));
        QCOMPARE(countAfterReset, QStringLiteral("Success : 0"));
        QVERIFY(m_form->isVisible());
        expectIdle();
        QCOMPARE(m_prompter->texts(), QStringList());
    }

    // Closed by the close box while the command waits for the programmer:
    // no question, CAN after the frame, port closed, window gone.
    void closeWhileWaitingForReply_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("event");
        QTest::addColumn<int>("action");
        QTest::addColumn<int>("index");
        QTest::addColumn<QStringList>("words");
        using E = EmulatorFault;
        QTest::newRow("erase, reply withheld") << "EraseDevice" << int(E::Event::CommandReply)
                                               << int(E::Action::Silence) << -1 << QStringList({"05000001"});
        QTest::newRow("erase, reply late") << "EraseDevice" << int(E::Event::CommandReply) << int(E::Action::Delay)
                                           << -1 << QStringList({"05000001"});
        QTest::newRow("program, block 5 not asked for") << "ProgramDevice" << int(E::Event::BlockRequest)
                                                        << int(E::Action::Silence) << 5 << QStringList({"01000001"});
        QTest::newRow("auto, program step, block 2 not asked for")
            << "AutoProgram" << int(E::Event::BlockRequest) << int(E::Action::Silence) << 2
            << QStringList({"05000001", "0A07FF01", "01000001"});
    }
    void closeWhileWaitingForReply()
    {
        QFETCH(QString, command);
        QFETCH(int, event);
        QFETCH(int, action);
        QFETCH(int, index);
        QFETCH(QStringList, words);

        choosePort(0);
        chooseDevice("AT89C2051");
        const QString path = m_dir.filePath(QStringLiteral("Close.hex"));
        QVERIFY(writeHexFile(path, randomBytes(0x800, 7)));
        loadFile(path);
        m_emu->addFault(EmulatorFault::at(EmulatorFault::Event(event), EmulatorFault::Action(action), index)
                            .withDelay(2000));

        bool refused = false;
        OperatorScript script;
        script.then("armed", [&] { return armed(); }, [&] { ui().StartRun->click(); })
            .then("waiting for the reply",
                  [&] { return m_form->runner().running() && m_emu->pendingFaults() == 0; },
                  [&] { refused = !m_form->close(); });
        script.start();
        item(qPrintable(command))->trigger();
        script.stop();

        QVERIFY2(script.finished(), qPrintable(script.pending()));
        QVERIFY(refused);
        QCOMPARE(m_prompter->texts(), QStringList());
        QCOMPARE(m_emu->commandWords(), QStringList({"0D000000"}) + words);
        QVERIFY2(canArrivesAfterLastFrame(), qPrintable(sentAfterLastFrame().toHex()));
        QTRY_VERIFY(!m_form->isVisible());
        QVERIFY(!m_form->link().port().isOpen());
    }

    void closeWhileArmed()
    {
        choosePort(0);
        chooseDevice("AT89C2051");
        bool refused = false;
        OperatorScript script;
        script.then("armed", [&] { return armed(); }, [&] { refused = !m_form->close(); });
        script.start();
        item("EraseDevice")->trigger();
        script.stop();

        QVERIFY2(script.finished(), qPrintable(script.pending()));
        QVERIFY(refused);
        QTRY_VERIFY(!m_form->isVisible());
        QVERIFY(!m_form->link().port().isOpen());
        QCOMPARE(m_prompter->texts(), QStringList());
        QCOMPARE(m_emu->frameCount(), 1);
        QCOMPARE(text("FailCount"), QStringLiteral("Failure : 0"));
    }

    void autoOnAT89C1051()
    {
        choosePort(0);
        chooseDevice("AT89C1051");
        const QByteArray image = randomBytes(0x400, 1051);
        const QString path = m_dir.filePath(QStringLiteral("Auto1051.hex"));
        QVERIFY(writeHexFile(path, image));
        loadFile(path);
        QCOMPARE(m_prompter->texts(), QStringList());

        QStringList lines;
        QString caption, count;
        OperatorScript script;
        script.then("armed", [&] { return armed(); },
                    [&] {
                        caption = text("DisplayCommand");
                        ui().StartRun->click();
                    })
            .then("pass", [&] { return armed() && line(6) == QLatin1String("Auto Program..Pass"); },
                  [&] {
                      for (int n = 1; n <= 6; ++n)
                          lines << line(n);
                      count = text("PassCount");
                      ui().StopRun->click();
                  });
        script.start();
        item("AutoProgram")->trigger();
        script.stop();

        QVERIFY2(script.finished(), qPrintable(script.pending()));
        QCOMPARE(caption, QStringLiteral("   Auto Program   "));
        QCOMPARE(lines, QStringList({"Erase.........Pass", "Blank.........Pass", "Program.......Pass",
                                     "Verify........Pass", "Lock..........Pass", "Auto Program..Pass"}));
        QCOMPARE(count, QStringLiteral("Success : 1"));
        QCOMPARE(m_emu->commandWords(),
                 QStringList({"0D000000", "05000001", "0A03FF01", "01000001", "0C000001", "03000201"}));
        QCOMPARE(m_emu->flash(0x01).left(0x400), image);
        QCOMPARE(m_emu->lockBits(0x01), uint8_t(0x03));
        QCOMPARE(m_prompter->texts(), QStringList());
        expectIdle();
    }

    // The adapter notice comes first; the length warning only after it has
    // closed. Each choice of the device shows the notice again.
    void adapterNoticeThenLengthWarning()
    {
        QByteArray beyond(16, char(0x5A));
        const QString path = m_dir.filePath(QStringLiteral("Long.hex"));
        QVERIFY(writeHexFile(path, beyond, 0x2000));
        loadFile(path);
        QCOMPARE(text("Buffer_End"), QStringLiteral("200FH"));
        QCOMPARE(m_prompter->texts(), QStringList());

        QStringList order;
        m_prompter->setHandler([&](const ScriptedPrompter::Shown &box) {
            const QWidget *notice = m_form->secondaryWindows().adapterForm();
            order << (box.text + (notice->isVisible() ? QStringLiteral(" over the notice") : QString()));
            return Prompter::Answer::Ok;
        });
        QString caption;
        OperatorScript script;
        auto noticeShown = [] {
            return QApplication::activeModalWidget()
                && QApplication::activeModalWidget()->objectName() == QLatin1String("AdapterForm");
        };
        auto closeNotice = [&] {
            QWidget *notice = QApplication::activeModalWidget();
            caption = notice->windowTitle();
            order << QStringLiteral("notice");
            QTest::mouseClick(notice->findChild<QPushButton *>(QStringLiteral("OKAdapter")), Qt::LeftButton);
        };
        script.then("first notice", noticeShown, closeNotice).then("second notice", noticeShown, closeNotice);
        script.start();
        chooseDevice("AT90S8535");
        QCOMPARE(focus(), ui().CheckTarvo);
        activate();
        chooseDevice("AT90S8535");
        script.stop();

        QVERIFY2(script.finished(), qPrintable(script.pending()));
        QCOMPARE(caption, QStringLiteral("This Device Used With Adapter AT90S8535"));
        QCOMPARE(order, QStringList({"notice", "End Buffer Over End Device", "notice", "End Buffer Over End Device"}));
        QCOMPARE(m_prompter->shown[0].icon, Icon::Warning);
        QCOMPARE(focus(), ui().CheckTarvo);
        QVERIFY(item("ProgramDevice")->isEnabled());
    }

    void noticeOnlyForTheAdapterDevice()
    {
        OperatorScript script;
        script.rejectStrayModals = true;
        script.start();
        for (const char *name : {"AT90S2313", "AT90S1200", "AT89C55WD"})
            chooseDevice(name);
        script.stop();
        QCOMPARE(script.strayModals, QStringList());
    }

    // The firmware that cannot serve the AT89S51 refuses it; another
    // device is accepted again.
    void firmwareRefusal()
    {
        QVERIFY(m_emu->setFirmwareDate("04062001"));
        choosePort(0);
        QCOMPARE(text("Tarvo_Code"), QStringLiteral("04/06/2001"));

        chooseDevice("AT89S51");
        QCOMPARE(m_prompter->texts(), QStringList({"This Device Not Support on Bios :04/06/2001"}));
        QCOMPARE(m_prompter->shown[0].icon, Icon::Error);
        QCOMPARE(m_prompter->shown[0].buttons, Prompter::Buttons::Ok);
        QCOMPARE(enabledDeviceItems(), QStringList());
        QVERIFY(!m_form->selection().DeviceSelected);
        QCOMPARE(text("Device_Algo"), QStringLiteral("89SXX"));

        // A file loaded while the device is refused enables nothing.
        m_prompter->clear();
        const QString path = m_dir.filePath(QStringLiteral("Refused.hex"));
        QVERIFY(writeHexFile(path, randomBytes(0x100, 5)));
        loadFile(path);
        QCOMPARE(m_prompter->texts(), QStringList());
        QCOMPARE(enabledDeviceItems(), QStringList());
        QCOMPARE(text("Buffer_End"), QStringLiteral("00FFH"));

        activate();
        chooseDevice("AT89C2051");
        QCOMPARE(m_prompter->texts(), QStringList());
        QCOMPARE(enabledDeviceItems(), QStringList({"EraseDevice", "BlankDevice", "ProgramDevice", "VerifyDevice",
                                                    "Lock1", "Lock2", "ReadDevice", "AutoProgram"}));
        QVERIFY(m_form->selection().DeviceSelected);
    }

    void viewer()
    {
        chooseDevice("AT89C2051");
        QString caption, firstLine, lastLine;
        int lines = 0;
        OperatorScript script;
        script.then("viewer",
                    [] {
                        return QApplication::activeModalWidget()
                            && QApplication::activeModalWidget()->objectName() == QLatin1String("EditForm");
                    },
                    [&] {
                        auto *viewer = qobject_cast<TEditForm *>(QApplication::activeModalWidget());
                        if (!viewer) {
                            QApplication::activeModalWidget()->close();
                            return;
                        }
                        caption = viewer->windowTitle();
                        const QTextDocument *doc = viewer->TextDisplay->document();
                        lines = doc->blockCount();
                        firstLine = doc->firstBlock().text();
                        lastLine = doc->lastBlock().text();
                        QTest::mouseClick(viewer->EditOK, Qt::LeftButton);
                    });
        script.start();
        ctrlKey(Qt::Key_B);
        script.stop();

        QVERIFY2(script.finished(), qPrintable(script.pending()));
        QCOMPARE(caption, QStringLiteral("Display Hex Buffer"));
        QCOMPARE(lines, 128);
        QCOMPARE(firstLine, QStringLiteral("0000 : ") + QStringLiteral("00 ").repeated(16) + QStringLiteral("  ")
                                + QStringLiteral(".").repeated(16));
        QVERIFY(lastLine.startsWith(QLatin1String("07F0 : ")));
        QCOMPARE(focus(), ui().ResetCount);
    }

    void fuseEditor()
    {
        choosePort(0);
        chooseDevice("AT89S53");
        QVERIFY(item("Fuse")->isEnabled());
        m_emu->setFuseByte(0x04, 0x01);

        QString caption, result;
        OperatorScript script;
        script.then("editor read the device",
                    [&] {
                        auto *editor = qobject_cast<TFuseForm *>(QApplication::activeModalWidget());
                        return editor && !editor->exchanging() && m_emu->commandWords().contains("08000004");
                    },
                    [&] {
                        QWidget *editor = QApplication::activeModalWidget();
                        caption = editor->windowTitle();
                        result = editor->findChild<QLabel *>(QStringLiteral("FuseResult"))->text();
                        editor->close();
                    });
        script.start();
        item("Fuse")->trigger();
        script.stop();

        QVERIFY2(script.finished(), qPrintable(script.pending()));
        QCOMPARE(caption, QStringLiteral("Display & Program Fuse...AT89S53"));
        QCOMPARE(result, QStringLiteral("Read Fuse Complete"));
        QCOMPARE(m_emu->commandWords(), QStringList({"0D000000", "09000004", "08000004"}));
        QCOMPARE(m_prompter->texts(), QStringList());
        QCOMPARE(focus(), ui().ResetCount);
        QVERIFY(!m_form->secondaryWindows().fuseForm()->isVisible());
        expectIdle();
    }

    // The window asked to close while the fuse editor waits for a reply:
    // the editor's exchange ends as a confirmed stop would, then both go.
    void closeWhileFuseEditorWaits()
    {
        choosePort(0);
        chooseDevice("AT89S53");
        m_emu->addFault(EmulatorFault::at(EmulatorFault::Event::FuseReply, EmulatorFault::Action::Delay)
                            .withDelay(3000));
        bool refused = false;
        OperatorScript script;
        script.then("editor waits for the fuse byte",
                    [&] {
                        auto *editor = qobject_cast<TFuseForm *>(QApplication::activeModalWidget());
                        return editor && editor->exchanging() && m_emu->pendingFaults() == 0;
                    },
                    [&] { refused = !m_form->close(); });
        script.start();
        item("Fuse")->trigger();
        script.stop();

        QVERIFY2(script.finished(), qPrintable(script.pending()));
        QVERIFY(refused);
        QVERIFY(!m_form->secondaryWindows().fuseForm()->isVisible());
        QCOMPARE(m_prompter->texts(), QStringList());
        QVERIFY2(canArrivesAfterLastFrame(), qPrintable(sentAfterLastFrame().toHex()));
        QTRY_VERIFY(!m_form->isVisible());
        QVERIFY(!m_form->link().port().isOpen());
    }

    void fuseWithoutProgrammer()
    {
        chooseDevice("AT89S53");
        OperatorScript script;
        script.rejectStrayModals = true;
        script.start();
        item("Fuse")->trigger();
        script.stop();
        QCOMPARE(m_prompter->texts(), QStringList({"Comport Not Connect"}));
        QCOMPARE(m_prompter->shown[0].icon, Icon::None);
        QCOMPARE(script.strayModals, QStringList());
        QCOMPARE(m_emu->frameCount(), 0);
    }

    void helpAndAbout()
    {
        item("TarvoHelpItem")->trigger();
        item("HelpEnglish1")->trigger();
        QCOMPARE(m_form->help().helpFile(), QStringLiteral("TarvoHelpEnglish.HLP"));
        QVERIFY(m_form->helpViewer().isVisible());
        QVERIFY(m_form->helpViewer().currentGuide().endsWith(QLatin1String("TarvoHelpEnglish.html")));
        m_form->helpViewer().close();

        activate();
        QString caption;
        OperatorScript script;
        script.then("about box",
                    [] {
                        return QApplication::activeModalWidget()
                            && QApplication::activeModalWidget()->objectName() == QLatin1String("AboutBox");
                    },
                    [&] {
                        QWidget *box = QApplication::activeModalWidget();
                        caption = box->windowTitle();
                        QTest::mouseClick(box->findChild<QPushButton *>(QStringLiteral("OKHelp")), Qt::LeftButton);
                    });
        script.start();
        ctrlKey(Qt::Key_A);
        script.stop();

        QVERIFY2(script.finished(), qPrintable(script.pending()));
        QCOMPARE(caption, QStringLiteral("About Tarvo V3.03"));
        QCOMPARE(focus(), ui().ResetCount);
        QCOMPARE(m_prompter->texts(), QStringList());
    }

    // The port switch fails after a good detection: the command still arms,
    // and its run ends on the ordinary failure path.
    void commandAfterFailedPortSwitch()
    {
        choosePort(0);
        QVERIFY(m_form->link().HardwareFound());
        chooseDevice("AT89C2051");
        activate();
        choosePort(1);
        QCOMPARE(m_prompter->texts(), QStringList({"ie_BadId - Specified comport doesn't exist."}));
        QCOMPARE(m_prompter->shown[0].icon, Icon::Error);
        QVERIFY(!m_form->link().port().isOpen());
        m_prompter->clear();

        m_form->runner().setTimeouts({300, 300});
        OperatorScript script;
        script.then("armed", [&] { return armed(); }, [&] { ui().StartRun->click(); });
        script.start();
        item("EraseDevice")->trigger();
        script.stop();

        QVERIFY2(script.finished(), qPrintable(script.pending()));
        QCOMPARE(line(1), QStringLiteral("Erase.....Time-Out"));
        QCOMPARE(line(2), QStringLiteral("Command......Abort"));
        QCOMPARE(m_prompter->texts(), QStringList({"Comport Not Found"}));
        QCOMPARE(text("FailCount"), QStringLiteral("Failure : 1"));
        QCOMPARE(text("DisplayCommand"), QStringLiteral("No Command Select?"));
        QCOMPARE(m_emu->frameCount(), 1);
        expectIdle();

        // Back on the programmer's port, the same command passes.
        m_prompter->clear();
        activate();
        choosePort(0);
        QCOMPARE(text("Tarvo_Code"), QStringLiteral("15/08/2003"));
        OperatorScript again;
        again.then("armed", [&] { return armed(); }, [&] { ui().StartRun->click(); })
            .then("pass", [&] { return armed(); }, [&] { ui().StopRun->click(); });
        again.start();
        item("EraseDevice")->trigger();
        again.stop();
        QVERIFY2(again.finished(), qPrintable(again.pending()));
        QCOMPARE(text("PassCount"), QStringLiteral("Success : 1"));
        QCOMPARE(m_emu->commandWords(), QStringList({"0D000000", "0D000000", "05000001"}));
        QCOMPARE(m_prompter->texts(), QStringList());
    }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<ProgrammerEmulator> m_emu;
    std::unique_ptr<QObject> m_context;
    std::unique_ptr<ScriptedPrompter> m_prompter;
    TestChooser m_chooser;
    std::unique_ptr<TTarvoForm> m_form;
    bool m_watchdogFired = false;
};

QTEST_MAIN(TestMainWindowFlows)
#include "tst_MainWindowFlows.moc"
