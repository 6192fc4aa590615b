#include "EmulatorReceived.h"
#include "RunnerHarness.h"

#include <QTest>
#include <memory>

namespace {

using Fault = EmulatorFault;
using Id = DeviceCommand::Id;

// Checks, at the moment each block is reported written, that the
// programmer's flash already holds it.
class WrittenCheck : public RunListener
{
public:
    explicit WrittenCheck(RunnerHarness &h) : m_h(h) {}
    void blockWritten(uint16_t first, uint16_t last) override
    {
        const QByteArray flash = m_h.emu.flash(m_h.typeCode());
        const QByteArray image = m_h.bufferImage(m_h.deviceEnd());
        const int size = last - first + 1;
        if (size != 64 || flash.mid(first, size) != image.mid(first, size))
            ++notYetWritten;
    }
    int notYetWritten = 0;

private:
    RunnerHarness &m_h;
};

} // namespace

// What the runner tells its listeners: the order of the events, the run's
// outcome and texts, and the blocks that have reached the device.
class TestRunEvents : public QObject
{
    Q_OBJECT

    std::unique_ptr<RunnerHarness> h;

    QList<QPair<int, int>> blocks(int first, int count)
    {
        QList<QPair<int, int>> out;
        for (int b = first; b < first + count; ++b)
            out.append({b * 64, b * 64 + 63});
        return out;
    }

private slots:
    void init()
    {
        h = std::make_unique<RunnerHarness>(QStringLiteral("AT89C1051"));
        QVERIFY(h->ready());
        h->runner.setTimeouts({300, 600});
        for (int a = 0; a < MemoryBuffer::Size; ++a)
            h->buffer.set(uint16_t(a), uint8_t(a * 13 + 5));
    }
    void cleanup() { h.reset(); }

    // No operator: one run, Exit after a pass, nothing pressed.
    void runOnceEndsByItself()
    {
        QVERIFY(h->runner.runOnce(DeviceCommand::get(Id::Erase)));
        QCOMPARE(h->view.events, (QStringList{"armed", "run", "step 1", "end 1 pass", "ended", "left"}));
        QCOMPARE(h->runner.state(), RunState::Idle);
        QVERIFY(!h->runner.active());
        QCOMPARE(h->runner.counts(), (RunCounts{1, 0}));
        QCOMPARE(h->view.runEnds[0].outcome, RunState::Passed);
        QCOMPARE(h->view.runEnds[0].lines[0], CommandTexts::erase().pass);
        QCOMPARE(h->sentAfterFrame(0), QByteArray(1, Ctl::ENQ));

        h->emu.addFault(Fault::at(Fault::Event::CommandReply, Fault::Action::Nak));
        QVERIFY(!h->runner.runOnce(DeviceCommand::get(Id::Lock1)));
        QCOMPARE(h->runner.state(), RunState::Failed);
        QCOMPARE(h->runner.counts(), (RunCounts{1, 1}));
        const RunEnd &failed = h->view.runEnds.last();
        QCOMPARE(failed.outcome, RunState::Failed);
        QCOMPARE(failed.lines, (std::array<QString, 6>{CommandTexts::lock1().fail, CommandTexts::commandAbort()}));
        QCOMPARE(failed.counts, (RunCounts{1, 1}));
        QCOMPARE(h->sentAfterFrame(1), QByteArray(1, Ctl::CAN));
        QVERIFY(h->prompter.shown.isEmpty());
    }

    // Every block of a program is reported once the programmer asked for
    // the next, with the programmer's flash already holding it; verify
    // writes nothing.
    void blocksWrittenOnceTaken()
    {
        WrittenCheck check(*h);
        h->runner.addListener(&check);
        QVERIFY(h->runner.runOnce(DeviceCommand::get(Id::Program)));
        QCOMPARE(h->view.blocksWritten, blocks(0, 16));
        QCOMPARE(check.notYetWritten, 0);

        h->view.blocksWritten.clear();
        QVERIFY(h->runner.runOnce(DeviceCommand::get(Id::Verify)));
        QVERIFY(h->view.blocksWritten.isEmpty());
        h->runner.removeListener(&check);
    }

    // A program that stops answering after block 5: blocks 0..4 were
    // taken, block 5 went out but was never confirmed.
    void failedTransferKeepsItsAddress()
    {
        h->emu.addFault(Fault::at(Fault::Event::BlockRequest, Fault::Action::Silence, 6));
        QVERIFY(!h->runner.runOnce(DeviceCommand::get(Id::Program)));
        QCOMPARE(h->view.blocksWritten, blocks(0, 5));
        QCOMPARE(h->view.stepEnds.size(), 1);
        const StepEnd &end = h->view.stepEnds[0];
        QVERIFY(!end.passed);
        QCOMPARE(end.text, CommandTexts::program().timeOut);
        QCOMPARE(end.failingAddress, std::optional<uint16_t>(5 * 64 + 63));
        QCOMPARE(h->runner.state(), RunState::Failed);
    }

    // A confirmed Stop ends the run as stopped, not failed; Exit while the
    // command waits leaves it without a question.
    void stopAndExitFollowTheState()
    {
        h->emu.addFault(Fault::at(Fault::Event::BlockRequest, Fault::Action::Delay, 3).withDelay(300));
        h->prompter.queue(Prompter::Answer::Yes);
        h->when([&] { return h->runner.running() && h->emu.blocksReceived() >= 2; },
                [&] { h->runner.StopRunClick(); });
        h->pressRun(1);
        h->arm(Id::Program);
        QCOMPARE(h->prompter.shown.size(), 1);
        QCOMPARE(h->view.runEnds.last().outcome, RunState::Stopped);
        QCOMPARE(h->runner.state(), RunState::Stopped);
        QCOMPARE(h->view.runEnds.last().lines[0], CommandTexts::program().breakText);

        h->prompter.clear();
        h->view.events.clear();
        h->pressRun(0);
        h->arm(Id::Erase);
        QVERIFY(h->prompter.shown.isEmpty());
        QCOMPARE(h->view.events, (QStringList{"armed", "left"}));
        QCOMPARE(h->runner.state(), RunState::Idle);
    }

    // Auto runs the rows' own exchanges, each on its own line, the lock at
    // the device's level, and writes only during its program step.
    void autoStepsAreTheCommandsOwn()
    {
        struct StepSeen : RunListener
        {
            QList<Id> exchanges;
            QList<int> lines;
            void stepStarted(const RunStep &step) override
            {
                exchanges << step.exchange->id;
                lines << step.line;
                QVERIFY(step.command->id == Id::Auto);
            }
        } seen;
        h->runner.addListener(&seen);
        QVERIFY(h->runner.runOnce(DeviceCommand::get(Id::Auto)));
        h->runner.removeListener(&seen);
        QVERIFY(seen.exchanges == (QList<Id>{Id::Erase, Id::Blank, Id::Program, Id::Verify, Id::Lock1}));
        QCOMPARE(seen.lines, (QList<int>{1, 2, 3, 4, 5}));
        QCOMPARE(h->view.blocksWritten, blocks(0, 16));
        QCOMPARE(h->view.runEnds[0].lines[5], CommandTexts::autoProgram().pass);
        const QString lockWord = QStringLiteral("03") + h->selection.SelectedDevice.LockLevel
            + h->selection.SelectedDevice.TypeCode;
        QCOMPARE(h->emu.commandWords().last(), lockWord);
    }
};

QTEST_GUILESS_MAIN(TestRunEvents)
#include "tst_runevents.moc"
