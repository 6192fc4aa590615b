#include "MessageBoxPrompter.h"
#include "PaintThrottle.h"
#include "PercentGauge.h"
#include "ScriptedPrompter.h"
#include "SecondaryWindows.h"
#include "TarvoApplication.h"
#include "TTarvoForm.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <stdexcept>

class TestAppParts : public QObject
{
    Q_OBJECT

    struct SeenBox
    {
        bool shown = false;
        QString title;
        QString text;
        int icon = -1;
        int buttons = 0;
    };

    // Answers the next modal box by clicking `button` once it is open, and
    // notes what it showed (the box is gone when show() returns).
    void clickWhenOpen(QMessageBox::StandardButton button, SeenBox *seen)
    {
        auto *poll = new QTimer(this);
        poll->setInterval(5);
        connect(poll, &QTimer::timeout, poll, [poll, button, seen] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            poll->stop();
            poll->deleteLater();
            *seen = {true, box->windowTitle(), box->text(), int(box->icon()), int(box->standardButtons())};
            box->button(button)->click();
        });
        poll->start();
    }

private slots:
    void gaugePercent_data()
    {
        QTest::addColumn<int>("minimum");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("progress");
        QTest::addColumn<QString>("text");
        QTest::newRow("half of 07FF, rounded down") << 0 << 0x07FF << 1023 << "49%";
        QTest::newRow("full") << 0 << 0x03FF << 0x03FF << "100%";
        QTest::newRow("start") << 0 << 0x4FFF << 0 << "0%";
        QTest::newRow("thirds round down") << 0 << 3 << 2 << "66%";
        QTest::newRow("offset minimum") << 10 << 20 << 15 << "50%";
        QTest::newRow("maximum equals minimum") << 0 << 0 << 0 << "0%";
        QTest::newRow("non-zero empty range") << 7 << 7 << 7 << "0%";
        QTest::newRow("progress past maximum is held at it") << 0 << 100 << 5000 << "100%";
        QTest::newRow("progress below minimum is held at it") << 0 << 100 << -3 << "0%";
        QTest::newRow("large range, no overflow") << 0 << 2000000000 << 1999999999 << "99%";
    }
    void gaugePercent()
    {
        QFETCH(int, minimum);
        QFETCH(int, maximum);
        QFETCH(int, progress);
        QFETCH(QString, text);
        PercentGauge gauge;
        gauge.setGaugeRange(minimum, maximum);
        gauge.setProgress(progress);
        QCOMPARE(gauge.text(), text);
        QVERIFY(gauge.progress() >= minimum && gauge.progress() <= maximum);
    }

    void gaugeKeepsProgressAcrossRangeChanges()
    {
        PercentGauge gauge;
        QCOMPARE(gauge.progress(), 0);
        gauge.setGaugeRange(0, 0x07FF);
        gauge.setProgress(1000);
        gauge.setGaugeRange(0, 500);
        QCOMPARE(gauge.progress(), 500);
        QCOMPARE(gauge.text(), QStringLiteral("100%"));
        gauge.setGaugeRange(600, 700);
        QCOMPARE(gauge.progress(), 600);
        QCOMPARE(gauge.text(), QStringLiteral("0%"));
        QCOMPARE(gauge.palette().color(QPalette::Highlight), QColor(0, 0, 255));
        QCOMPARE(gauge.palette().color(QPalette::Base), QColor(Qt::white));
    }

    // The first change paints at once; a second one in the same frame is
    // held until the frame ends, then painted with the latest content.
    void throttleHoldsWithinAFrame()
    {
        QWidget window;
        auto *a = new QLabel(&window);
        auto *b = new QLabel(&window);
        window.show();
        PaintThrottle throttle;

        throttle.aboutToChange(a);
        QVERIFY(a->updatesEnabled());
        throttle.aboutToChange(a);
        throttle.aboutToChange(b);
        throttle.aboutToChange(a);
        QVERIFY(!a->updatesEnabled());
        QVERIFY(!b->updatesEnabled());
        QVERIFY(throttle.holding(a));
        QTRY_VERIFY(a->updatesEnabled() && b->updatesEnabled());
        QVERIFY(!throttle.holding(a));

        // Quiet for a frame: the next change paints at once again.
        QTest::qWait(3 * PaintThrottle::FrameMs);
        throttle.aboutToChange(b);
        QVERIFY(b->updatesEnabled());
    }

    // A line that never stops changing (a whole transfer) is still painted
    // frame after frame, not only once the changes stop.
    void throttlePaintsASteadyStream()
    {
        struct PaintCounter : QObject
        {
            int paints = 0;
            bool eventFilter(QObject *, QEvent *event) override
            {
                paints += event->type() == QEvent::Paint;
                return false;
            }
        } counter;
        QWidget window;
        window.resize(200, 50);
        auto *line = new QLabel(&window);
        line->setGeometry(0, 0, 200, 20);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCoreApplication::processEvents();
        line->installEventFilter(&counter);
        PaintThrottle throttle;
        QElapsedTimer limit;
        limit.start();
        for (int i = 0; counter.paints < 4 && limit.elapsed() < 5000; ++i) {
            throttle.aboutToChange(line);
            line->setText(QString::number(i));
            QCoreApplication::processEvents();
        }
        QCOMPARE_GE(counter.paints, 4);
    }

    void throttleFlushAndDeletedWidgets()
    {
        QWidget window;
        auto *a = new QLabel(&window);
        QPointer<QLabel> gone = new QLabel(&window);
        PaintThrottle throttle;
        throttle.aboutToChange(a);
        throttle.aboutToChange(a);
        throttle.aboutToChange(gone);
        delete gone;
        throttle.flush();
        QVERIFY(a->updatesEnabled());
        QVERIFY(!throttle.holding(a));
    }

    void messageBoxes_data()
    {
        QTest::addColumn<int>("icon");
        QTest::addColumn<int>("buttons");
        QTest::addColumn<int>("click");
        QTest::addColumn<int>("expectedIcon");
        QTest::addColumn<int>("expectedButtons");
        QTest::addColumn<int>("answer");
        using P = Prompter;
        using B = QMessageBox;
        QTest::newRow("error, OK") << int(P::Icon::Error) << int(P::Buttons::Ok) << int(B::Ok) << int(B::Critical)
                                   << int(B::Ok) << int(P::Answer::Ok);
        QTest::newRow("warning, OK") << int(P::Icon::Warning) << int(P::Buttons::Ok) << int(B::Ok) << int(B::Warning)
                                     << int(B::Ok) << int(P::Answer::Ok);
        QTest::newRow("no icon, OK") << int(P::Icon::None) << int(P::Buttons::Ok) << int(B::Ok) << int(B::NoIcon)
                                     << int(B::Ok) << int(P::Answer::Ok);
        QTest::newRow("question, Yes") << int(P::Icon::Question) << int(P::Buttons::YesNo) << int(B::Yes)
                                       << int(B::Question) << int(B::Yes | B::No) << int(P::Answer::Yes);
        QTest::newRow("question, No") << int(P::Icon::Question) << int(P::Buttons::YesNo) << int(B::No)
                                      << int(B::Question) << int(B::Yes | B::No) << int(P::Answer::No);
    }
    void messageBoxes()
    {
        QFETCH(int, icon);
        QFETCH(int, buttons);
        QFETCH(int, click);
        QFETCH(int, expectedIcon);
        QFETCH(int, expectedButtons);
        QFETCH(int, answer);
        MessageBoxPrompter prompter;
        SeenBox seen;
        clickWhenOpen(QMessageBox::StandardButton(click), &seen);
        const Prompter::Answer got =
            prompter.show(Prompter::Icon(icon), QStringLiteral("Hardware Not Found"), Prompter::Buttons(buttons));
        QVERIFY(seen.shown);
        QCOMPARE(seen.title, QStringLiteral("Tarvo V3.03"));
        QCOMPARE(seen.icon, expectedIcon);
        QCOMPARE(seen.buttons, expectedButtons);
        QCOMPARE(seen.text, QStringLiteral("Hardware Not Found"));
        QCOMPARE(int(got), answer);
    }

    void defaultErrorBox()
    {
        MessageBoxPrompter prompter;
        SeenBox seen;
        clickWhenOpen(QMessageBox::Ok, &seen);
        prompter.defaultError(QStringLiteral("ie_BadId - Specified comport doesn't exist"));
        QVERIFY(seen.shown);
        QCOMPARE(seen.text, QStringLiteral("ie_BadId - Specified comport doesn't exist."));
        QCOMPARE(seen.icon, int(QMessageBox::Critical));
    }

    void dialogsCreatedHiddenInOrder()
    {
        QWidget main;
        QStringList order;
        auto factory = [&order](const char *name) {
            return [&order, name](QWidget *parent) {
                order << QLatin1String(name);
                auto *d = new QDialog(parent);
                d->setObjectName(QLatin1String(name));
                return d;
            };
        };
        SecondaryWindows windows;
        windows.create({factory("TAboutBox"), factory("TEditForm"), factory("TFuseForm"), factory("TAdapterForm")},
                       &main);
        QCOMPARE(order, QStringList({"TAboutBox", "TEditForm", "TFuseForm", "TAdapterForm"}));
        for (QDialog *d : {windows.aboutBox(), windows.editForm(), windows.fuseForm(), windows.adapterForm()}) {
            QVERIFY(d);
            QCOMPARE(d->parentWidget(), &main);
            QVERIFY(!d->isVisible());
        }
        QCOMPARE(windows.fuseForm()->objectName(), QStringLiteral("TFuseForm"));

        SecondaryWindows partial;
        partial.create({factory("TAboutBox"), {}, {}, {}}, &main);
        QVERIFY(partial.aboutBox());
        QVERIFY(!partial.editForm());
    }

    // An exception that escapes a handler reaches the default error box and
    // the program goes on with the next event.
    void escapedErrorsReachTheDefaultBox()
    {
        auto *app = qobject_cast<TarvoApplication *>(QCoreApplication::instance());
        QVERIFY(app);
        QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Tarvo V3.03"));
        ScriptedPrompter prompter;
        app->setPrompter(&prompter);
        QObject context;
        bool later = false;
        QTimer::singleShot(0, &context, [] { throw std::runtime_error("Permission denied"); });
        QTimer::singleShot(0, &context, [] { throw std::runtime_error("Open File Error!!!"); });
        QTimer::singleShot(5, &context, [&later] { later = true; });
        QTRY_VERIFY(later);
        app->setPrompter(nullptr);
        QCOMPARE(prompter.texts(), QStringList({"Permission denied.", "Open File Error!!!"}));
        QCOMPARE(prompter.shown[0].icon, Prompter::Icon::Error);
    }

    // File > Open and File > Save of the window show their filter as
    // written, two blanks included, and still filter by the patterns.
    void fileDialogsShowTheFilterAsWritten()
    {
        ScriptedPrompter prompter;
        TTarvoForm form(prompter);
        form.show();
        QStringList shown;
        QStringList patterns;
        auto *poll = new QTimer(&form);
        poll->setInterval(5);
        connect(poll, &QTimer::timeout, &form, [&] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            auto *types = dialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
            for (int i = 0; types && i < types->count(); ++i)
                shown << types->itemText(i);
            patterns << dialog->nameFilters();
            dialog->reject();
        });
        poll->start();
        form.controls().FileOpenItem->trigger();
        form.controls().FileSaveItem->trigger();
        QCOMPARE(shown, (QStringList{"All Hex  Files (*.Hex,*.Rom)", "All Hex  Files (*.Hex)"}));
        QVERIFY(patterns.at(0).endsWith(QLatin1String("(*.HEX *.ROM *.Hex *.Rom *.hex *.rom)")));
        QVERIFY(patterns.at(1).endsWith(QLatin1String("(*.Hex *.HEX *.hex)")));
    }
};

int main(int argc, char *argv[])
{
    TarvoApplication app(argc, argv);
    TestAppParts test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_AppParts.moc"
