#include "EmulatorReceived.h"
#include "RunnerHarness.h"

#include <QTest>
#include <memory>

namespace {

using A = EmulatorFault::Action;
using E = EmulatorFault::Event;

const QStringList PassLines{"Erase.........Pass", "Blank.........Pass", "Program.......Pass",
                            "Verify........Pass", "Lock..........Pass", "Auto Program..Pass"};

} // namespace

// Auto: erase, blank check, program, verify and lock as one run.
class TestAutoProgram : public QObject
{
    Q_OBJECT
    std::unique_ptr<RunnerHarness> h;

    // Lines of a run that failed at `step` (1-5) with `text`.
    static QStringList failedLines(int step, const QString &text)
    {
        QStringList lines = PassLines.mid(0, step - 1);
        lines << text << "Command......Abort";
        while (lines.size() < 6)
            lines << QString();
        return lines;
    }
    void verifyFailedAt(int step, const QString &text)
    {
        QCOMPARE(h->view.currentLines(), failedLines(step, text));
        QCOMPARE(h->emu.commandWords().size(), step);
        QCOMPARE(h->view.failureText, QStringLiteral("Failure : 1"));
        QCOMPARE(h->view.successText, QStringLiteral("Success : 0"));
        QVERIFY(EmulatorReceived::endsWith(h->emu, Ctl::CAN));
        QVERIFY(!h->view.windowLocked && !h->runner.active());
    }

private slots:
    void init()
    {
        h = std::make_unique<RunnerHarness>(QStringLiteral("AT89C1051"));
        QVERIFY(h->ready());
        h->runner.setTimeouts({300, 600});
        for (int a = 0; a < MemoryBuffer::Size; ++a)
            h->buffer.set(uint16_t(a), uint8_t(a ^ (a >> 8)));
    }
    void cleanup() { h.reset(); }

    void passes_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<int>("lockBits");
        QTest::newRow("AT89C1051")
            << "AT89C1051" << QStringList{"05000001", "0A03FF01", "01000001", "0C000001", "03000201"} << 0b011;
        QTest::newRow("AT89C51")
            << "AT89C51" << QStringList{"05000003", "0A0FFF03", "01000003", "0C000003", "03000303"} << 0b111;
    }
    // Two devices, then Exit: one count and one ENQ per run.
    void passes()
    {
        QFETCH(QString, device);
        QFETCH(QStringList, words);
        QFETCH(int, lockBits);
        h->selectDevice(device);
        QList<RecordingView> waits;
        h->pressRun(2);
        h->atWait = [&] { waits.append(h->view); };
        QStringList linesAtSecondStart;
        int erasesShown = 0;
        h->view.onStatusLine = [&](int line, const QString &text) {
            if (line == 1 && text == QStringLiteral("Erase.....") && ++erasesShown == 2)
                linesAtSecondStart = h->view.currentLines();
        };
        h->arm(DeviceCommand::Id::Auto);

        QCOMPARE(h->emu.commandWords(), words + words);
        QCOMPARE(h->emu.blocksReceived(), 4 * (h->deviceEnd() + 1) / 64);
        QCOMPARE(h->sentAfterFrame(0), QByteArray());
        QCOMPARE(h->sentAfterFrame(1), QByteArray());
        const QByteArray blocks = h->sentAfterFrame(2);
        QCOMPARE(blocks.size(), (h->deviceEnd() + 1) / 64 * 130 + 1);
        QVERIFY(blocks.endsWith(Ctl::DC3));
        QCOMPARE(h->sentAfterFrame(3), blocks);
        QCOMPARE(h->sentAfterFrame(4), QByteArray(1, Ctl::ENQ));
        QCOMPARE(h->emu.received().count(Ctl::ENQ), 2);
        QCOMPARE(int(h->emu.lockBits(h->typeCode())), lockBits);

        QCOMPARE(waits.size(), 3);
        QCOMPARE(waits[1].currentLines(), PassLines);
        QCOMPARE(waits[1].successText, QStringLiteral("Success : 1"));
        QCOMPARE(waits[1].focus, QStringLiteral("Stop"));
        QCOMPARE(waits[1].gaugeProgress, int(h->deviceEnd()));
        QCOMPARE(linesAtSecondStart, (QStringList{"Erase.....", "", "", "", "", ""}));
        QCOMPARE(waits[2].successText, QStringLiteral("Success : 2"));
        // Exit ends the command without counting.
        QCOMPARE(h->view.successText, QStringLiteral("Success : 2"));
        QCOMPARE(h->view.currentLines(), QStringList(6, QString()));
        QCOMPARE(h->view.caption, QStringLiteral("No Command Select?"));
    }

    void stepFailures_data()
    {
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("event");
        QTest::addColumn<int>("action");
        QTest::addColumn<int>("byte");
        QTest::addColumn<QString>("text");
        QTest::newRow("erase NAK") << 1 << 0x05 << int(E::CommandReply) << int(A::Nak) << 0 << "Erase.........Fail";
        QTest::newRow("blank DC1") << 2 << 0x0A << int(E::CommandReply) << int(A::Garbage) << 0x11
                                   << "Blank Check..Error";
        QTest::newRow("program silent") << 3 << 0x01 << int(E::BlockRequest) << int(A::Silence) << 0
                                        << "Program...Time-Out";
        QTest::newRow("verify mismatch") << 4 << 0x0C << int(E::BlockReceived) << int(A::WrongData) << 0
                                         << "Verify...Fail:";
        QTest::newRow("lock NAK") << 5 << 0x03 << int(E::CommandReply) << int(A::Nak) << 0 << "Lock..........Fail";
        QTest::newRow("lock other byte") << 5 << 0x03 << int(E::CommandReply) << int(A::Garbage) << 0x41
                                         << "Lock.........Error";
    }
    void stepFailures()
    {
        QFETCH(int, step);
        QFETCH(int, command);
        QFETCH(int, event);
        QFETCH(int, action);
        QFETCH(int, byte);
        QFETCH(QString, text);
        h->emu.addFault(EmulatorFault::at(E(event), A(action), event == int(E::CommandReply) ? -1 : 3)
                            .forCommand(command)
                            .withByte(uint8_t(byte)));
        h->pressRun(1);
        h->arm(DeviceCommand::Id::Auto);
        // The verify report is the programmer's own; only its prefix is ours.
        if (text.endsWith(':'))
            QVERIFY(h->view.lines[step].startsWith(text));
        else
            QCOMPARE(h->view.lines[step], text);
        verifyFailedAt(step, h->view.lines[step]);
    }

    void stopAtEachStep_data()
    {
        QTest::addColumn<int>("step");
        QTest::addColumn<QString>("text");
        QTest::newRow("erase awaited") << 1 << "Erase.....Time-Out";
        QTest::newRow("blank awaited") << 2 << "Blank.....Time-Out";
        QTest::newRow("program sending") << 3 << "Program......Break";
        QTest::newRow("verify block awaited") << 4 << "Verify.......Break";
        QTest::newRow("lock awaited") << 5 << "Lock......Time-Out";
    }
    void stopAtEachStep()
    {
        QFETCH(int, step);
        QFETCH(QString, text);
        h->runner.setTimeouts({1500, 15000});
        h->prompter.queue(Prompter::Answer::Yes);
        if (step == 3) {
            h->view.onStatusLine = [&](int line, const QString &t) {
                if (line == 3 && t == QStringLiteral("Program.......0045"))
                    h->runner.StopRunClick();
            };
        } else if (step == 4) {
            h->emu.addFault(EmulatorFault::at(E::BlockRequest, A::Delay, 1).forCommand(0x0C).withDelay(700));
            h->when([&] { return h->emu.blocksReceived() >= 16 + 1; }, [&] { h->runner.StopRunClick(); });
        } else {
            const int codes[] = {0, 0x05, 0x0A, 0, 0, 0x03};
            h->emu.addFault(EmulatorFault::at(E::CommandReply, A::Delay).forCommand(codes[step]).withDelay(700));
            h->when([&] { return h->emu.frameCount() >= step; }, [&] { h->runner.StopRunClick(); });
        }
        h->pressRun(1);
        h->arm(DeviceCommand::Id::Auto);
        QCOMPARE(h->prompter.texts(), QStringList{"Do you want to Stop Command..?"});
        verifyFailedAt(step, text);
    }
};

QTEST_GUILESS_MAIN(TestAutoProgram)
#include "tst_autoprogram.moc"
