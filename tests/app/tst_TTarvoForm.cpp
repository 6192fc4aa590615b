#include "WindowDriver.h"
#include "HexText.h"
#include "PercentGauge.h"
#include "ScriptedPrompter.h"
#include "TTarvoForm.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>

// The main window on its own: layout, initial state, menus, shortcuts, the
// status bar, what a command drives and closing.
// The file dialogs answered "Cancel".
class CancelChooser : public FileChooser
{
public:
    QString openFileName() override { return {}; }
    QString saveFileName() override { return {}; }
};

class TestTTarvoForm : public QObject
{
    Q_OBJECT

    template <typename T>
    T *find(const char *name)
    {
        return WindowDriver::control<T>(m_form.get(), name);
    }
    QAction *action(const char *name) { return find<QAction>(name); }
    QMenu *menu(const char *name) { return find<QMenu>(name); }
    void activate()
    {
        m_form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    }

private slots:
    void init()
    {
        m_prompter = std::make_unique<ScriptedPrompter>();
        m_form = std::make_unique<TTarvoForm>(*m_prompter);
        m_form->setFileChooser(&m_chooser);
        m_form->show();
        activate();
    }
    void cleanup()
    {
        m_form.reset();
        m_prompter.reset();
    }

    void windowFrame()
    {
        QCOMPARE(m_form->windowTitle(), QStringLiteral("Tarvo V3.03......Micro Controller Programmer"));
        QCOMPARE(m_form->centralWidget()->size(), QSize(408, 333));
        QCOMPARE(m_form->statusBar()->height(), 26);
        QVERIFY(!m_form->statusBar()->isSizeGripEnabled());
        // Not resizable: fixed to client area plus menu bar and status bar.
        QCOMPARE(m_form->minimumSize(), m_form->maximumSize());
        QCOMPARE(m_form->height(), m_form->menuBar()->height() + 333 + 26);
        QCOMPARE(m_form->font().pixelSize(), 14);
        QCOMPARE(m_form->font().family(), QStringLiteral("Courier"));
        QCOMPARE(m_form->palette().color(QPalette::Window), m_form->palette().color(QPalette::Button));
    }

    // The two lists grow with the font their entries need (tst_WindowAccess).
    void groupsAndPositions_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QRect>("geometry");
        QTest::newRow("GroupBox4") << "GroupBox4" << "ClientArea" << QRect(7, 0, 169, 98);
        QTest::newRow("GroupBox2") << "GroupBox2" << "ClientArea" << QRect(182, 0, 222, 98);
        QTest::newRow("GroupBox3") << "GroupBox3" << "ClientArea" << QRect(7, 98, 169, 202);
        QTest::newRow("GroupBox1") << "GroupBox1" << "ClientArea" << QRect(182, 98, 222, 202);
        QTest::newRow("ResetCount") << "ResetCount" << "GroupBox4" << QRect(52, 72, 72, 20);
        QTest::newRow("Tarvo_Code") << "Tarvo_Code" << "GroupBox2" << QRect(98, 39, 117, 21);
        QTest::newRow("CheckTarvo") << "CheckTarvo" << "GroupBox2" << QRect(78, 72, 72, 20);
        QTest::newRow("PercentRun") << "PercentRun" << "GroupBox3" << QRect(7, 150, 156, 20);
        QTest::newRow("StartRun") << "StartRun" << "GroupBox3" << QRect(7, 176, 60, 20);
        QTest::newRow("StopRun") << "StopRun" << "GroupBox3" << QRect(104, 176, 61, 20);
        QTest::newRow("Buffer_Sum") << "Buffer_Sum" << "GroupBox1" << QRect(98, 176, 117, 21);
    }
    void groupsAndPositions()
    {
        QFETCH(QString, name);
        QFETCH(QString, parent);
        QFETCH(QRect, geometry);
        auto *w = m_form->findChild<QWidget *>(name);
        QVERIFY(w);
        QCOMPARE(w->parentWidget()->objectName(), parent);
        QCOMPARE(w->geometry(), geometry);
    }

    void initialTexts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("PassCount") << "PassCount" << "Success : 0" << true;
        QTest::newRow("FailCount") << "FailCount" << "Failure : 0" << true;
        QTest::newRow("ResetCount") << "ResetCount" << "Reset" << true;
        QTest::newRow("LabelComport") << "LabelComport" << "Comport " << true;
        QTest::newRow("LabelVersion") << "LabelVersion" << "Bios Code" << true;
        QTest::newRow("CheckTarvo") << "CheckTarvo" << "Connect" << true;
        QTest::newRow("DisplayCommand") << "DisplayCommand" << "No Command Select?" << true;
        QTest::newRow("StartRun") << "StartRun" << "Run" << false;
        QTest::newRow("StopRun") << "StopRun" << "Exit" << false;
        QTest::newRow("LabelDeviceName") << "LabelDeviceName" << "Device" << true;
        QTest::newRow("LabelAlgo") << "LabelAlgo" << "Algorithm" << true;
        QTest::newRow("LabelVpp") << "LabelVpp" << "+VPP Volt" << true;
        QTest::newRow("LabelDeviceEnd") << "LabelDeviceEnd" << "Device End" << true;
        QTest::newRow("LabelFileLoad") << "LabelFileLoad" << "File Name" << true;
        QTest::newRow("LabelBufferEnd") << "LabelBufferEnd" << "Buffer End" << true;
        QTest::newRow("LabelCheckSum") << "LabelCheckSum" << "Checksum" << true;
        for (int i = 1; i <= 6; ++i) {
            const QByteArray n = "DisplayRun" + QByteArray::number(i);
            QTest::newRow(n.constData()) << QString::fromLatin1(n) << QString() << true;
        }
        QTest::newRow("Tarvo_Code") << "Tarvo_Code" << QString() << true;
        QTest::newRow("Device_Algo") << "Device_Algo" << QString() << false;
        QTest::newRow("Device_Vpp") << "Device_Vpp" << QString() << false;
        QTest::newRow("Device_End") << "Device_End" << QString() << false;
        QTest::newRow("SelectFileName") << "SelectFileName" << QString() << false;
        QTest::newRow("Buffer_End") << "Buffer_End" << QString() << false;
        QTest::newRow("Buffer_Sum") << "Buffer_Sum" << QString() << false;
    }
    void initialTexts()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(bool, enabled);
        QWidget *w = m_form->findChild<QWidget *>(name);
        QVERIFY(w);
        QString shown;
        if (auto *l = qobject_cast<QLabel *>(w))
            shown = l->text();
        else if (auto *b = qobject_cast<QPushButton *>(w))
            shown = b->text();
        else if (auto *e = qobject_cast<QLineEdit *>(w))
            shown = e->text();
        else
            QFAIL("unexpected kind of control");
        QCOMPARE(shown, text);
        QCOMPARE(w->isEnabled(), enabled);
        QVERIFY(w->isVisible());
    }

    void edits()
    {
        auto *code = find<QLineEdit>("Tarvo_Code");
        QVERIFY(code->isReadOnly());
        for (const char *name : {"Device_Algo", "Device_Vpp", "Device_End", "Buffer_Sum"}) {
            auto *e = find<QLineEdit>(name);
            QVERIFY2(e->isReadOnly(), name);
            QCOMPARE(e->maxLength(), 10);
        }
        QVERIFY(find<QLineEdit>("SelectFileName")->isReadOnly());
    }

    void fonts()
    {
        for (const char *name : {"ResetCount", "CheckTarvo", "StartRun", "StopRun", "DisplayCommand"}) {
            const QFont f = find<QWidget>(name)->font();
            QVERIFY2(f.bold(), name);
            QCOMPARE(f.pixelSize(), 15);
        }
        for (const char *name : {"PassCount", "DisplayRun1", "DisplayRun3", "SelectComPort", "Tarvo_Code"}) {
            const QFont f = find<QWidget>(name)->font();
            QVERIFY2(!f.bold(), name);
            QCOMPARE(f.pixelSize(), 15);
        }
        for (const char *name : {"DisplayRun4", "DisplayRun5", "DisplayRun6"})
            QCOMPARE(find<QWidget>(name)->font().pixelSize(), 11);
    }

    void lists()
    {
        auto *port = find<QComboBox>("SelectComPort");
        auto *device = find<QComboBox>("SelectDevice");
        for (QComboBox *list : {port, device}) {
            QVERIFY(list->isEditable());
            QCOMPARE(list->currentIndex(), -1);
            QCOMPARE(list->currentText(), QString());
            QCOMPARE(TTarvoForm::chosenIndex(list), -1);
        }
        QStringList ports;
        for (int i = 0; i < port->count(); ++i)
            ports << port->itemText(i);
        QCOMPARE(ports, QStringList({"Com1", "Com2", "Com3", "Com4"}));
        QCOMPARE(device->count(), 18);
        QCOMPARE(device->itemText(0), QStringLiteral("AT89C1051"));
        QCOMPARE(device->itemText(15), QStringLiteral("AT90S8535"));
        QCOMPARE(device->itemText(17), QStringLiteral("AT90S2323"));
        QCOMPARE(port->statusTip(), QStringLiteral("Select Comport To Connect"));
        QCOMPARE(device->statusTip(), QStringLiteral("Select Device To Program"));
    }

    void gaugeAtStart()
    {
        auto *gauge = find<PercentGauge>("PercentRun");
        QVERIFY(!gauge->isVisible());
        QCOMPARE(gauge->progress(), 0);
    }

    void focusStartsOnPortList()
    {
        QCOMPARE(QApplication::focusWidget(), find<QWidget>("SelectComPort"));
    }

    void stateAtStart()
    {
        QVERIFY(!m_form->link().HardwareFound());
        QVERIFY(!m_form->link().StopRequested());
        QVERIFY(!m_form->link().AbortRequested());
        QVERIFY(!m_form->link().TimeoutElapsed());
        QVERIFY(!m_form->link().Timer1().isActive());
        QVERIFY(!m_form->link().port().isOpen());
        QVERIFY(!m_form->selection().DeviceSelected);
        QVERIFY(!m_form->buffer().FileLoaded);
        QCOMPARE(m_form->buffer().BufferEnd, uint16_t(511));
        QVERIFY(!m_form->busy());
    }

    void menuItems_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("menu");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("shortcut");
        QTest::addColumn<QString>("hint");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("FileOpenItem") << "FileOpenItem" << "File1" << "&Open" << "Ctrl+O" << "Open Intel-Hex File To Buffer" << true;
        QTest::newRow("FileSaveItem") << "FileSaveItem" << "File1" << "&Save" << "Ctrl+S" << "Save Intel-Hex File From Buffer" << true;
        QTest::newRow("Buffer1") << "Buffer1" << "File1" << "&Buffer" << "Ctrl+B" << "Display Hex Data From Buffer" << true;
        QTest::newRow("FileExitItem") << "FileExitItem" << "File1" << "E&xit" << "Ctrl+X" << "Exit Tarvo Application" << true;
        QTest::newRow("EraseDevice") << "EraseDevice" << "Operation1" << "Erase" << "" << "Erase Device" << false;
        QTest::newRow("BlankDevice") << "BlankDevice" << "Operation1" << "Blank" << "" << "Device Data Blank Check" << false;
        QTest::newRow("ProgramDevice") << "ProgramDevice" << "Operation1" << "Program" << "" << "Program Flash on Device From Buffer" << false;
        QTest::newRow("VerifyDevice") << "VerifyDevice" << "Operation1" << "Verify" << "" << "Verify Flash on Device With Buffer" << false;
        QTest::newRow("Lock1") << "Lock1" << "Operation1" << "Lock1" << "" << "Program Lock Bit 1" << false;
        QTest::newRow("Lock2") << "Lock2" << "Operation1" << "Lock2" << "" << "Program Lock Bit 1,2" << false;
        QTest::newRow("Lock3") << "Lock3" << "Operation1" << "Lock3" << "" << "Program Lock Bit 1,2,3" << false;
        QTest::newRow("Fuse") << "Fuse" << "Operation1" << "Fuse" << "" << "Edit & Display Fuse Bit" << false;
        QTest::newRow("ReadDevice") << "ReadDevice" << "Operation1" << "Read" << "" << "Read Flash From Device To Buffer" << false;
        QTest::newRow("AutoProgram") << "AutoProgram" << "Operation1" << "Auto" << "" << "" << false;
        QTest::newRow("TarvoHelpItem") << "TarvoHelpItem" << "Help1" << "Tarvo Help Thai" << "" << "Tarvo V3.0 User Help" << true;
        QTest::newRow("HelpEnglish1") << "HelpEnglish1" << "Help1" << "Tarvo Help English" << "" << "" << true;
        QTest::newRow("HelpAboutItem") << "HelpAboutItem" << "Help1" << "&About..." << "Ctrl+A"
                                       << "Displays Program Information, Version Number, and Copyright" << true;
    }
    void menuItems()
    {
        QFETCH(QString, name);
        QFETCH(QString, menu);
        QFETCH(QString, caption);
        QFETCH(QString, shortcut);
        QFETCH(QString, hint);
        QFETCH(bool, enabled);
        QAction *item = m_form->findChild<QAction *>(name);
        QVERIFY(item);
        QVERIFY(this->menu(menu.toLatin1().constData())->actions().contains(item));
        QCOMPARE(item->text(), caption);
        QCOMPARE(item->shortcut(), QKeySequence(shortcut));
        QCOMPARE(item->statusTip(), hint);
        QCOMPARE(item->isEnabled(), enabled);
    }

    void menuOrderAndBar()
    {
        const QList<QAction *> bar = m_form->menuBar()->actions();
        QCOMPARE(bar.size(), 3);
        QCOMPARE(bar[0]->text(), QStringLiteral("File"));
        QCOMPARE(bar[1]->text(), QStringLiteral("Device"));
        QCOMPARE(bar[2]->text(), QStringLiteral("Help"));
        QCOMPARE(menu("File1")->menuAction()->statusTip(), QStringLiteral("Active File Command"));
        QCOMPARE(menu("Operation1")->menuAction()->statusTip(), QStringLiteral("Active Device Run Command"));
        QCOMPARE(menu("Help1")->menuAction()->statusTip(), QStringLiteral("Help topics"));

        QStringList file;
        for (QAction *a : menu("File1")->actions())
            file << a->objectName();
        QCOMPARE(file, QStringList({"FileOpenItem", "FileSaveItem", "Buffer1", "N1", "FileExitItem", "N2",
                                    "FileOpenJobItem", "FileSaveJobItem"}));
        QVERIFY(action("N1")->isSeparator());
        QStringList device;
        for (QAction *a : menu("Operation1")->actions())
            device << a->objectName();
        QCOMPARE(device, QStringList({"EraseDevice", "BlankDevice", "ProgramDevice", "VerifyDevice", "Lock1",
                                      "Lock2", "Lock3", "Fuse", "ReadDevice", "AutoProgram"}));
        for (const char *name : {"FileOpenItem", "FileSaveItem", "Buffer1"})
            QVERIFY2(!action(name)->icon().isNull(), name);
    }

    void shortcutActions_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("shortcut");
        QTest::newRow("FileOpen1") << "FileOpen1" << "&Open" << "Ctrl+O";
        QTest::newRow("FileSave1") << "FileSave1" << "&Save" << "Ctrl+S";
        QTest::newRow("FileBuffer") << "FileBuffer" << "&Buffer" << "Ctrl+B";
        QTest::newRow("FileExit1") << "FileExit1" << "E&xit" << "Ctrl+X";
        QTest::newRow("HelpAbout1") << "HelpAbout1" << "&About..." << "Ctrl+A";
    }
    void shortcutActions()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QString, shortcut);
        QAction *a = m_form->findChild<QAction *>(name);
        QVERIFY(a);
        QCOMPARE(a->text(), caption);
        QCOMPARE(a->shortcut(), QKeySequence(shortcut));
        QVERIFY(m_form->actions().contains(a));
    }

    // Each shortcut acts through its menu item, once, even with the focus in
    // an editable list that would otherwise take Ctrl+X and Ctrl+A.
    void shortcutsAct_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<int>("key");
        QTest::newRow("Ctrl+O") << "FileOpenItem" << int(Qt::Key_O);
        QTest::newRow("Ctrl+S") << "FileSaveItem" << int(Qt::Key_S);
        QTest::newRow("Ctrl+B") << "Buffer1" << int(Qt::Key_B);
        QTest::newRow("Ctrl+A") << "HelpAboutItem" << int(Qt::Key_A);
    }
    void shortcutsAct()
    {
        QFETCH(QString, item);
        QFETCH(int, key);
        auto *port = find<QComboBox>("SelectComPort");
        port->setEditText(QStringLiteral("abc"));
        port->lineEdit()->selectAll();
        QSignalSpy spy(m_form->findChild<QAction *>(item), &QAction::triggered);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), Qt::ControlModifier);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(port->currentText(), QStringLiteral("abc"));
    }

    void ctrlXExits()
    {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_X, Qt::ControlModifier);
        QVERIFY(m_form->link().StopRequested());
        QTRY_VERIFY(!m_form->isVisible());
    }

    // While a command holds the window, File and Help are disabled: the keys
    // are taken and nothing happens, not even in the focused edit.
    void shortcutsTakenWhileLocked()
    {
        auto *code = find<QLineEdit>("Tarvo_Code");
        code->setText(QStringLiteral("15/08/2003"));
        code->setFocus();
        code->selectAll();
        m_form->setWindowLocked(true);
        QVERIFY(!menu("File1")->menuAction()->isEnabled());
        QVERIFY(!menu("Help1")->menuAction()->isEnabled());

        std::vector<std::unique_ptr<QSignalSpy>> spies;
        for (const char *name : {"FileOpenItem", "FileSaveItem", "Buffer1", "FileExitItem", "HelpAboutItem"})
            spies.push_back(std::make_unique<QSignalSpy>(action(name), &QAction::triggered));
        for (Qt::Key key : {Qt::Key_O, Qt::Key_S, Qt::Key_B, Qt::Key_X, Qt::Key_A})
            QTest::keyClick(code, key, Qt::ControlModifier);
        for (const auto &spy : spies)
            QCOMPARE(spy->count(), 0);
        QVERIFY(m_form->isVisible());
        QVERIFY(!m_form->link().StopRequested());
        QCOMPARE(code->selectedText(), QStringLiteral("15/08/2003"));

        m_form->setWindowLocked(false);
        QSignalSpy open(action("FileOpenItem"), &QAction::triggered);
        QTest::keyClick(code, Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(open.count(), 1);
    }

    void shortcutFollowsItsOwnMenuAndItem()
    {
        QSignalSpy about(action("HelpAboutItem"), &QAction::triggered);
        QSignalSpy open(action("FileOpenItem"), &QAction::triggered);
        QSignalSpy save(action("FileSaveItem"), &QAction::triggered);
        menu("Help1")->setEnabled(false);
        action("FileSaveItem")->setEnabled(false);
        QWidget *focus = QApplication::focusWidget();
        QTest::keyClick(focus, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(focus, Qt::Key_O, Qt::ControlModifier);
        QTest::keyClick(focus, Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(about.count(), 0);
        QCOMPARE(open.count(), 1);
        QCOMPARE(save.count(), 0);
    }

    void lockingCoversConnectMenusAndLists()
    {
        const QList<QWidget *> locked = {find<QWidget>("CheckTarvo"), find<QWidget>("SelectComPort"),
                                         find<QWidget>("SelectDevice"), menu("File1"), menu("Operation1"),
                                         menu("Help1")};
        m_form->setWindowLocked(true);
        for (QWidget *w : locked)
            QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
        QVERIFY(find<QWidget>("ResetCount")->isEnabled());
        QVERIFY(m_form->busy());
        m_form->setWindowLocked(false);
        for (QWidget *w : locked)
            QVERIFY2(w->isEnabled(), qPrintable(w->objectName()));
        QVERIFY(!m_form->busy());
    }

    void statusBarShowsHints()
    {
        QStatusBar *bar = m_form->statusBar();
        QTest::mouseMove(find<QWidget>("CheckTarvo"));
        QTRY_COMPARE(bar->currentMessage(), QStringLiteral("Check Hardware Connection"));
        QTest::mouseMove(find<QWidget>("ResetCount"));
        QTRY_COMPARE(bar->currentMessage(), QStringLiteral("Reset Status Counter"));

        // A connection text replaces a hint, and a later hint replaces it.
        emit m_form->link().statusText(QStringLiteral("Waiting to Initial Hardware"));
        QCOMPARE(bar->currentMessage(), QStringLiteral("Waiting to Initial Hardware"));
        QTest::mouseMove(find<QWidget>("SelectDevice"));
        QTRY_COMPARE(bar->currentMessage(), QStringLiteral("Select Device To Program"));

        // Menu items: the second part of a two-part hint; an item without a
        // hint leaves the bar empty.
        QMenu *help = menu("Help1");
        QMenuBar *menuBar = m_form->menuBar();
        QTest::mouseClick(menuBar, Qt::LeftButton, {}, menuBar->actionGeometry(help->menuAction()).center());
        QVERIFY(QTest::qWaitForWindowExposed(help));
        QTest::mouseMove(help, help->actionGeometry(action("HelpAboutItem")).center());
        QTRY_COMPARE(bar->currentMessage(),
                     QStringLiteral("Displays Program Information, Version Number, and Copyright"));
        QTest::mouseMove(help, help->actionGeometry(action("HelpEnglish1")).center());
        QTRY_COMPARE(bar->currentMessage(), QString());
        QTest::mouseMove(help, help->actionGeometry(action("TarvoHelpItem")).center());
        QTRY_COMPARE(bar->currentMessage(), QStringLiteral("Tarvo V3.0 User Help"));
        help->close();
    }

    void noToolTips()
    {
        for (QWidget *w : m_form->findChildren<QWidget *>())
            QVERIFY2(w->toolTip().isEmpty(), qPrintable(w->objectName()));
    }

    // The window's drawing of the runner's events.
    void commandCaptionColours()
    {
        auto *caption = find<QLabel>("DisplayCommand");
        WindowRunDisplay &display = m_form->runDisplay();
        display.commandArmed(DeviceCommand::get(DeviceCommand::Id::Program));
        QCOMPARE(caption->text(), QStringLiteral("  Program Device  "));
        QCOMPARE(caption->palette().color(QPalette::Window), QColor(255, 255, 0));
        QCOMPARE(caption->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QVERIFY(caption->autoFillBackground());
        display.commandLeft();
        QCOMPARE(caption->text(), QStringLiteral("No Command Select?"));
        QCOMPARE(caption->palette().color(QPalette::Window), m_form->palette().color(QPalette::Button));
        QCOMPARE(caption->palette().color(QPalette::WindowText), QColor(0, 0, 0));
    }

    // Each step on its own line, a failure with the abort line below it.
    void statusLinesReadBack()
    {
        WindowRunDisplay &display = m_form->runDisplay();
        const DeviceCommand &autoProgram = DeviceCommand::get(DeviceCommand::Id::Auto);
        const CommandTexts *texts[] = {&CommandTexts::erase(), &CommandTexts::blank(), &CommandTexts::program(),
                                       &CommandTexts::verify(), &CommandTexts::autoLock(),
                                       &CommandTexts::autoProgram()};
        display.runStarted(autoProgram);
        for (int line = 1; line <= 6; ++line) {
            const RunStep step{&autoProgram, &autoProgram, line, texts[line - 1], 0x07FF};
            display.stepStarted(step);
            QCOMPARE(m_form->statusLine(line), texts[line - 1]->running);
            display.stepEnded(step, {true, texts[line - 1]->pass, std::nullopt});
        }
        for (int line = 1; line <= 6; ++line) {
            QCOMPARE(m_form->statusLine(line), texts[line - 1]->pass);
            QCOMPARE(find<QLabel>(qPrintable(QStringLiteral("DisplayRun%1").arg(line)))->text(), texts[line - 1]->pass);
        }
        QCOMPARE(m_form->statusLine(0), QString());
        QCOMPARE(m_form->statusLine(7), QString());

        const RunStep verify{&autoProgram, &DeviceCommand::get(DeviceCommand::Id::Verify), 4, texts[3], 0x07FF};
        display.stepEnded(verify, {false, QStringLiteral("Verify...Fail:0040"), uint16_t(0x40)});
        QCOMPARE(m_form->statusLine(4), QStringLiteral("Verify...Fail:0040"));
        QCOMPARE(m_form->statusLine(5), QStringLiteral("Command......Abort"));
        display.runStarted(autoProgram);
        for (int line = 1; line <= 6; ++line)
            QCOMPARE(m_form->statusLine(line), QString());
    }

    // A status line changed at every byte reads back right at every byte,
    // and its final text is painted once the changes stop.
    void perByteStatusLine()
    {
        WindowRunDisplay &display = m_form->runDisplay();
        const DeviceCommand &program = DeviceCommand::get(DeviceCommand::Id::Program);
        display.runStarted(program);
        display.stepStarted({&program, &program, 1, &CommandTexts::program(), 0x07FF});
        auto *line = find<QLabel>("DisplayRun1");
        for (int i = 0; i < 2000; ++i) {
            display.progress(uint16_t(i), i + 1, 0x0800);
            QCoreApplication::processEvents();
            QCOMPARE(m_form->statusLine(1), QStringLiteral("Program.......") + HexText::HexWordToStr4(uint16_t(i)));
        }
        QTRY_VERIFY(line->updatesEnabled());
        QTRY_VERIFY(find<QWidget>("PercentRun")->updatesEnabled());
    }

    void gaugeAndButtons()
    {
        WindowRunDisplay &display = m_form->runDisplay();
        const DeviceCommand &program = DeviceCommand::get(DeviceCommand::Id::Program);
        auto *gauge = find<PercentGauge>("PercentRun");
        auto *stop = find<QPushButton>("StopRun");
        display.commandArmed(program);
        QVERIFY(!gauge->isVisible());
        QVERIFY(m_form->runEnabled());
        QCOMPARE(stop->text(), QStringLiteral("Exit"));
        QCOMPARE(QApplication::focusWidget(), find<QWidget>("StartRun"));

        display.runStarted(program);
        display.stepStarted({&program, &program, 1, &CommandTexts::program(), 0x07FF});
        display.progress(1023, 1024, 0x0800);
        QVERIFY(gauge->isVisible());
        QCOMPARE(gauge->text(), QStringLiteral("49%"));
        QVERIFY(!m_form->runEnabled());
        QCOMPARE(stop->text(), QStringLiteral("Stop"));
        QVERIFY(stop->isEnabled());
        QVERIFY(!find<QPushButton>("ResetCount")->isEnabled());

        display.runEnded({RunState::Passed, {}, {1, 0}});
        QVERIFY(m_form->runEnabled());
        QCOMPARE(stop->text(), QStringLiteral("Exit"));
        QVERIFY(find<QPushButton>("ResetCount")->isEnabled());
        QCOMPARE(QApplication::focusWidget(), find<QWidget>("StopRun"));

        display.runStarted(program);
        display.runEnded({RunState::Failed, {}, {1, 1}});
        QVERIFY(!gauge->isVisible());
        QVERIFY(!m_form->runEnabled());
        QVERIFY(!stop->isEnabled());
        QCOMPARE(find<QLabel>("DisplayCommand")->text(), QStringLiteral("No Command Select?"));
        QCOMPARE(QApplication::focusWidget(), find<QWidget>("CheckTarvo"));
        QVERIFY(!m_form->busy());
    }

    void countsAndBufferDisplays()
    {
        m_form->runDisplay().countsChanged({255, 7});
        QCOMPARE(find<QLabel>("PassCount")->text(), QStringLiteral("Success : 255"));
        QCOMPARE(find<QLabel>("FailCount")->text(), QStringLiteral("Failure : 7"));

        find<QLineEdit>("SelectFileName")->setText(QStringLiteral("TEST.HEX"));
        m_form->runDisplay().bufferFilled(QStringLiteral("07FFH"), QStringLiteral("F800H"));
        QCOMPARE(find<QLineEdit>("Buffer_End")->text(), QStringLiteral("07FFH"));
        QCOMPARE(find<QLineEdit>("Buffer_Sum")->text(), QStringLiteral("F800H"));
        QCOMPARE(find<QLineEdit>("SelectFileName")->text(), QString());
    }

    void bufferCommandsOnlyEnabled()
    {
        m_form->enableBufferCommands();
        for (const char *name : {"ProgramDevice", "VerifyDevice", "AutoProgram"})
            QVERIFY2(action(name)->isEnabled(), name);
        for (const char *name : {"EraseDevice", "BlankDevice", "Lock1", "Lock2", "Lock3", "Fuse", "ReadDevice"})
            QVERIFY2(!action(name)->isEnabled(), name);
    }

    // Closed while a command holds the window: the waits are told to end,
    // and the window goes only once the command has let go of it.
    void closeWaitsForArmedCommand()
    {
        m_form->setWindowLocked(true);
        QVERIFY(!m_form->close());
        QVERIFY(m_form->isVisible());
        QVERIFY(m_form->link().shuttingDown());
        m_form->setWindowLocked(false);
        QTRY_VERIFY(!m_form->isVisible());
    }

    void idleCloseCloses()
    {
        QVERIFY(m_form->close());
        QVERIFY(!m_form->isVisible());
        QVERIFY(!m_form->link().shuttingDown());
    }

    // The port list reports "nothing chosen" while its edit shows typed text.
    void chosenIndexFollowsTheEdit()
    {
        auto *port = find<QComboBox>("SelectComPort");
        {
            const QSignalBlocker block(port);
            port->setCurrentIndex(2);
        }
        QCOMPARE(TTarvoForm::chosenIndex(port), 2);
        port->setFocus();
        QTest::keyClick(port, Qt::Key_Backspace);
        QCOMPARE(TTarvoForm::chosenIndex(port), -1);
        // Typing is a change with no entry chosen: no port, focus on Connect.
        QCOMPARE(QApplication::focusWidget(), find<QWidget>("CheckTarvo"));
        QVERIFY(!m_form->link().port().isOpen());
        QVERIFY(m_prompter->shown.isEmpty());
    }

    void connectWithoutPort()
    {
        find<QLineEdit>("Tarvo_Code")->setText(QStringLiteral("old"));
        find<QPushButton>("CheckTarvo")->click();
        QCOMPARE(m_prompter->texts(), QStringList({"Comport Not Found"}));
        QCOMPARE(m_prompter->shown[0].icon, Prompter::Icon::Error);
        QCOMPARE(m_prompter->shown[0].buttons, Prompter::Buttons::Ok);
        QCOMPARE(find<QLineEdit>("Tarvo_Code")->text(), QString());
    }

private:
    std::unique_ptr<ScriptedPrompter> m_prompter;
    CancelChooser m_chooser;
    std::unique_ptr<TTarvoForm> m_form;
};

QTEST_MAIN(TestTTarvoForm)
#include "tst_TTarvoForm.moc"
