#include "WindowDriver.h"
#include "MessageBoxPrompter.h"
#include "ProgramDialogs.h"
#include "ScriptedPrompter.h"
#include "TTarvoForm.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGroupBox>
#include <QMessageBox>
#include <QTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QStyleOptionFrame>
#include <QTest>

// The main window from the keyboard and for assistive technology: Enter on
// buttons, hints of disabled menu items, texts that show whole in every
// fixed-pitch font Courier may fall back to, and a name for every control.
class TestWindowAccess : public QObject
{
    Q_OBJECT

    template <typename T>
    T *find(const char *name)
    {
        return WindowDriver::control<T>(m_form.get(), name);
    }
    void makeWindow()
    {
        m_form = std::make_unique<TTarvoForm>(*m_prompter);
        m_form->show();
        m_form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    }
    static QString accessibleName(QObject *o)
    {
        QAccessibleInterface *ai = QAccessible::queryAccessibleInterface(o);
        return ai ? ai->text(QAccessible::Name) : QString();
    }

    // Every text a control may show must fit inside it; the label itself
    // must stay inside its group's contents, clear of the border.
    static void checkLabel(QLabel *label, const QStringList &texts)
    {
        const QFontMetrics fm(label->font());
        const QRect box = label->contentsRect().adjusted(std::max(0, label->indent()), 0, 0, 0);
        for (const QString &text : texts) {
            const QRect drawn = fm.boundingRect(box, int(label->alignment()), text);
            const QRect ink = fm.boundingRect(text).translated(drawn.topLeft() + QPoint(0, fm.ascent()));
            QVERIFY2(label->rect().contains(drawn) && label->rect().contains(ink),
                     qPrintable(label->objectName() + ": " + text));
        }
        // Clear of the group's frame line by a pixel at least.
        QWidget *group = label->parentWidget();
        const int frame = group->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, group) + 1;
        QVERIFY2(group->rect().adjusted(frame, frame, -frame, -frame).contains(label->geometry()),
                 qPrintable(label->objectName()));
    }
    // An edit shows the text from its first character with the cursor at
    // the end, and a full line height.
    static void checkEditText(QLineEdit *edit, const QString &text)
    {
        edit->setText(text);
        edit->setCursorPosition(0);
        const auto cursorX = [edit] { return edit->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x(); };
        const int start = cursorX();
        edit->end(false);
        const int end = cursorX();
        const QFontMetrics fm(edit->font());
        QVERIFY2(end - start >= fm.horizontalAdvance(text), qPrintable(edit->parent()->objectName() + ": " + text));
        QStyleOptionFrame opt;
        opt.initFrom(edit);
        opt.lineWidth = edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, edit) : 0;
        const QRect area = edit->style()->subElementRect(QStyle::SE_LineEditContents, &opt, edit);
        QVERIFY2(area.height() >= fm.height(), qPrintable(edit->objectName() + " height"));
    }

private slots:
    void init()
    {
        m_prompter = std::make_unique<ScriptedPrompter>();
        makeWindow();
    }
    void cleanup()
    {
        m_form.reset();
        m_prompter.reset();
        QFont::removeSubstitutions(QStringLiteral("Courier"));
    }

    void enterPressesTheFocusedButton_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::newRow("Return") << int(Qt::Key_Return) << int(Qt::NoModifier);
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier);
    }
    void enterPressesTheFocusedButton()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        const auto press = [&](QWidget *w) {
            w->setFocus();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        };
        press(find<QPushButton>("CheckTarvo"));
        QCOMPARE(m_prompter->texts(), QStringList({"Comport Not Found"}));

        // Reset from the keyboard asks first, No the default.
        m_form->runner().setCounts({3, 0});
        m_prompter->clear();
        press(find<QPushButton>("ResetCount"));
        QCOMPARE(m_prompter->texts(), QStringList({"Reset the Success and Failure counters?"}));
        QCOMPARE(m_prompter->shown[0].buttons, Prompter::Buttons::YesNoDefaultNo);
        QCOMPARE(find<QLabel>("PassCount")->text(), QStringLiteral("Success : 3"));
        m_prompter->queue(Prompter::Answer::Yes);
        press(find<QPushButton>("ResetCount"));
        QCOMPARE(find<QLabel>("PassCount")->text(), QStringLiteral("Success : 0"));

        // Elsewhere the keys do what they did: no button is pressed.
        m_prompter->clear();
        for (const char *name : {"Tarvo_Code", "SelectComPort", "SelectDevice"})
            press(find<QWidget>(name));
        QVERIFY(m_prompter->shown.isEmpty());
        QVERIFY(!m_form->busy());
    }

    void disabledMenuItemsShowTheirHints()
    {
        QStatusBar *bar = m_form->statusBar();
        QMenu *device = find<QMenu>("Operation1");
        QAction *erase = find<QAction>("EraseDevice");
        QVERIFY(!erase->isEnabled());
        QMenuBar *menuBar = m_form->menuBar();
        QTest::mouseClick(menuBar, Qt::LeftButton, {}, menuBar->actionGeometry(device->menuAction()).center());
        QVERIFY(QTest::qWaitForWindowExposed(device));

        QTest::mouseMove(device, device->actionGeometry(find<QAction>("Lock2")).center());
        QTRY_COMPARE(bar->currentMessage(), QStringLiteral("Program Lock Bit 1,2"));
        // From the keyboard too, through all ten disabled items.
        device->setActiveAction(erase);
        QTRY_COMPARE(bar->currentMessage(), QStringLiteral("Erase Device"));
        QTest::keyClick(device, Qt::Key_Down);
        QTRY_COMPARE(bar->currentMessage(), QStringLiteral("Device Data Blank Check"));
        // Choosing a disabled item still does nothing.
        QSignalSpy triggered(device, &QMenu::triggered);
        QTest::keyClick(device, Qt::Key_Return);
        QCOMPARE(triggered.count(), 0);
        QVERIFY(!m_form->runner().active());
        device->close();
    }

    // The window is built afresh for each fixed-pitch family installed, as
    // Courier would resolve to it.
    void textsShowWhole_data()
    {
        QTest::addColumn<QString>("family");
        QTest::newRow("resolved") << QString();
        for (const QString &family : QFontDatabase::families())
            if (QFontDatabase::isFixedPitch(family) && !QFontDatabase::isPrivateFamily(family))
                QTest::newRow(qPrintable(family)) << family;
    }
    void textsShowWhole()
    {
        QFETCH(QString, family);
        if (!family.isEmpty()) {
            QFont::insertSubstitution(QStringLiteral("Courier"), family);
            makeWindow();
            if (QFontInfo(find<QLabel>("DisplayRun1")->font()).family() != family)
                QSKIP("Courier resolves to another family (a real Courier, or an alias)");
        }
        const QString line18 = QStringLiteral("ReadChecksum Error");
        checkLabel(find<QLabel>("DisplayCommand"), {QStringLiteral("No Command Select?"), QStringLiteral("  Program Device  ")});
        for (const char *name : {"DisplayRun1", "DisplayRun2", "DisplayRun3", "DisplayRun4", "DisplayRun5", "DisplayRun6"})
            checkLabel(find<QLabel>(name), {line18, QStringLiteral("Auto Program..Pass"), QStringLiteral("Command......Abort")});
        checkLabel(find<QLabel>("PassCount"), {QStringLiteral("Success : 255")});
        checkLabel(find<QLabel>("FailCount"), {QStringLiteral("Failure : 255")});

        const std::pair<const char *, const char *> rows[] = {
            {"LabelComport", "SelectComPort"}, {"LabelVersion", "Tarvo_Code"}, {"LabelDeviceName", "SelectDevice"},
            {"LabelAlgo", "Device_Algo"},      {"LabelVpp", "Device_Vpp"},     {"LabelDeviceEnd", "Device_End"},
            {"LabelFileLoad", "SelectFileName"}, {"LabelBufferEnd", "Buffer_End"}, {"LabelCheckSum", "Buffer_Sum"},
        };
        for (const auto &[labelName, fieldName] : rows) {
            auto *label = find<QLabel>(labelName);
            checkLabel(label, {label->text()});
            // Level with its field, within a pixel.
            const QWidget *field = find<QWidget>(fieldName);
            QVERIFY2(qAbs(label->geometry().center().y() - field->geometry().center().y()) <= 1, labelName);
            QVERIFY2(label->geometry().right() + 3 < field->x(), labelName);
        }

        for (const char *name : {"SelectComPort", "SelectDevice"}) {
            auto *list = find<QComboBox>(name);
            for (int i = 0; i < list->count(); ++i)
                checkEditText(list->lineEdit(), list->itemText(i));
            list->setCurrentIndex(-1);
            list->clearEditText();
            // Kept at its place as far as the font allows: right edge and top.
            QCOMPARE(list->geometry().right(), 98 + 117 - 1);
            QCOMPARE(list->y(), 13);
        }
        checkEditText(find<QLineEdit>("Tarvo_Code"), QStringLiteral("04/06/2001"));
        checkEditText(find<QLineEdit>("Device_Algo"), QStringLiteral("89CX051"));
        checkEditText(find<QLineEdit>("Buffer_Sum"), QStringLiteral("FFFFH"));

        for (QPushButton *b : m_form->findChildren<QPushButton *>()) {
            const int frame = b->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, b);
            QVERIFY2(QFontMetrics(b->font()).horizontalAdvance(b->text()) <= b->width() - 2 * frame,
                     qPrintable(b->objectName()));
        }
        QCOMPARE(m_form->centralWidget()->size(), QSize(408, 333));
        for (auto *group : m_form->findChildren<QGroupBox *>())
            for (auto *child : group->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
                QVERIFY2(group->rect().contains(child->geometry()), qPrintable(child->objectName()));
    }

    void everyControlHasAName()
    {
        QWidgetList controls;
        for (QWidget *w : m_form->centralWidget()->findChildren<QWidget *>()) {
            const bool field = (qobject_cast<QLineEdit *>(w) && !qobject_cast<QComboBox *>(w->parent()))
                               || qobject_cast<QComboBox *>(w) || qobject_cast<QAbstractButton *>(w)
                               || qobject_cast<QProgressBar *>(w);
            auto *label = qobject_cast<QLabel *>(w);
            // A label naming a field is that field's name, not a display.
            if (field || (label && !label->buddy()))
                controls << w;
        }
        controls << m_form->statusBar();
        QCOMPARE(controls.size(), 4 + 2 + 7 + 1 + 2 + 1 + 6 + 1);
        QStringList names;
        for (QWidget *w : controls) {
            const QString name = accessibleName(w);
            QVERIFY2(!name.isEmpty(), qPrintable(w->objectName()));
            QVERIFY2(!names.contains(name), qPrintable(w->objectName() + ": " + name));
            names << name;
        }
        QCOMPARE(accessibleName(find<QWidget>("SelectDevice")), QStringLiteral("Device"));
        QCOMPARE(accessibleName(find<QWidget>("Tarvo_Code")), QStringLiteral("Bios Code"));
        QCOMPARE(find<QLabel>("LabelCheckSum")->buddy(), find<QWidget>("Buffer_Sum"));

        // The gauge says its value; a status line its text, as its name, and
        // its own name again once empty. Both are told within a tenth of a
        // second.
        const DeviceCommand &program = DeviceCommand::get(DeviceCommand::Id::Program);
        const RunStep step{&program, &program, 2, &CommandTexts::program(), 200};
        m_form->runDisplay().runStarted(program);
        m_form->runDisplay().stepStarted(step);
        m_form->runDisplay().progress(81, 82, 201);
        QAccessibleInterface *gauge = QAccessible::queryAccessibleInterface(find<QWidget>("PercentRun"));
        QTRY_COMPARE(gauge->text(QAccessible::Description), QStringLiteral("40%"));
        QCOMPARE(gauge->valueInterface()->currentValue().toInt(), 81);
        QAccessibleInterface *line2 = QAccessible::queryAccessibleInterface(find<QWidget>("DisplayRun2"));
        m_form->runDisplay().stepEnded(step, {true, QStringLiteral("Program......Pass"), std::nullopt});
        QTRY_COMPARE(line2->text(QAccessible::Name), QStringLiteral("Program......Pass"));
        m_form->runDisplay().runStarted(program);
        QTRY_COMPARE(line2->text(QAccessible::Name), QStringLiteral("Status line 2"));
    }

    // Every window and dialog, as a screen reader walks it: each node that
    // can take the focus has a name, and no two such nodes of one window
    // share one. The names are those shown.
    void everyFocusableNodeNamedOnce()
    {
        m_form->createSecondaryWindows(programDialogs(*m_form));
        const SecondaryWindows &windows = m_form->secondaryWindows();
        const QStringList mainNames = checkNames(m_form.get());
        QVERIFY(mainNames.contains(QStringLiteral("Device menu")));
        for (QWidget *window : QWidgetList{windows.aboutBox(), windows.editForm(), windows.fuseForm(),
                                           windows.adapterForm(), &m_form->helpViewer()}) {
            window->show();
            QVERIFY(QTest::qWaitForWindowExposed(window));
            checkNames(window);
            window->hide();
        }
        // The menus are walked open, as an operator reaches them, beside
        // the main window's names.
        QStringList menuNames;
        for (QMenu *menu : {m_form->controls().File1, m_form->controls().Operation1, m_form->controls().Help1}) {
            menu->popup(QPoint(0, 0));
            QVERIFY(QTest::qWaitForWindowExposed(menu));
            menuNames << checkNames(menu, mainNames);
            menu->close();
        }
        QVERIFY(menuNames.contains(QStringLiteral("Exit Tarvo Application")));
        QAccessibleInterface *help = QAccessible::queryAccessibleInterface(&m_form->helpViewer());
        QCOMPARE(help->role(), QAccessible::Window);
        QCOMPARE(accessibleName(find<QWidget>("StopRun")), QStringLiteral("Exit"));

        // A message box, with its icon.
        MessageBoxPrompter boxes(m_form.get());
        QTimer::singleShot(0, this, [this] {
            QTRY_VERIFY(QApplication::activeModalWidget());
            QWidget *box = QApplication::activeModalWidget();
            checkNames(box);
            auto *icon = box->findChild<QLabel *>(QStringLiteral("qt_msgboxex_icon_label"));
            QVERIFY(icon);
            QCOMPARE(accessibleName(icon), QStringLiteral("Question"));
            box->close();
        });
        boxes.show(Prompter::Icon::Question, QStringLiteral("Stop?"), Prompter::Buttons::YesNo);
    }

private:
    // Walks window's accessible tree and returns the names of its focusable
    // nodes; names in `taken` (those of the window a menu belongs to) count
    // as taken.
    QStringList checkNames(QWidget *window, const QStringList &taken = {})
    {
        QStringList names = taken;
        QStringList problems;
        const auto collect = [&](auto &&self, QAccessibleInterface *node, int depth) -> void {
            if (!node || depth > 30)
                return;
            const QAccessible::State state = node->state();
            // A menu item takes the focus as the operator moves through its
            // menu, though Qt does not mark it focusable.
            if ((state.focusable || node->role() == QAccessible::MenuItem) && !state.invisible) {
                const QString name = node->text(QAccessible::Name);
                QObject *o = node->object();
                const QString who = (o ? QString::fromLatin1(o->metaObject()->className()) + QLatin1Char(' ') + o->objectName()
                                       : QStringLiteral("child"))
                                    + QStringLiteral(" role ") + QString::number(node->role(), 16);
                if (name.isEmpty())
                    problems << QStringLiteral("unnamed: ") + who;
                else if (names.contains(name))
                    problems << QStringLiteral("twice: ") + name + QStringLiteral(" (") + who + QLatin1Char(')');
                names << name;
            }
            for (int i = 0; i < node->childCount(); ++i)
                self(self, node->child(i), depth + 1);
        };
        collect(collect, QAccessible::queryAccessibleInterface(window), 0);
        [&] { QVERIFY2(problems.isEmpty(), qPrintable(window->objectName() + QLatin1String(": ") + problems.join(QLatin1String("; ")))); }();
        return names.mid(taken.size());
    }

    std::unique_ptr<ScriptedPrompter> m_prompter;
    std::unique_ptr<TTarvoForm> m_form;
};

QTEST_MAIN(TestWindowAccess)
#include "tst_WindowAccess.moc"
