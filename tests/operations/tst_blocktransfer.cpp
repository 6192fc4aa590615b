#include "EmulatorReceived.h"
#include "HexText.h"
#include "RunnerHarness.h"

#include <QTest>
#include <memory>

namespace {

using A = EmulatorFault::Action;
using E = EmulatorFault::Event;

// The characters of blocks 0..end as they must go out: data and checksum.
QByteArray blockStream(const MemoryBuffer &buffer, uint16_t end)
{
    QByteArray out;
    for (uint32_t start = 0; start < end; start += 64) {
        uint8_t sum = 0;
        for (uint32_t a = start; a < start + 64; ++a) {
            out += HexText::HexByteToStr2(buffer.at(uint16_t(a))).toLatin1();
            sum = uint8_t(sum + buffer.at(uint16_t(a)));
        }
        out += HexText::HexByteToStr2(sum).toLatin1();
    }
    return out;
}

QByteArray ctl(char c) { return QByteArray(1, c); }

} // namespace

// Program and Verify: the shared block exchange.
class TestBlockTransfer : public QObject
{
    Q_OBJECT
    std::unique_ptr<RunnerHarness> h;

    void run(bool verify)
    {
        if (verify)
            h->arm(DeviceCommand::Id::Verify);
        else
            h->arm(DeviceCommand::Id::Program);
    }
    const CommandTexts &texts(bool verify) { return verify ? CommandTexts::verify() : CommandTexts::program(); }
    void verifyFailedWith(const QString &text)
    {
        QCOMPARE(h->view.currentLines(), (QStringList{text, "Command......Abort", "", "", "", ""}));
        QCOMPARE(h->view.failureText, QStringLiteral("Failure : 1"));
        QCOMPARE(h->view.successText, QStringLiteral("Success : 0"));
        QVERIFY(EmulatorReceived::endsWith(h->emu, Ctl::CAN));
        QVERIFY(!h->view.windowLocked && !h->runner.active());
    }
    void addVerifyFlash() { h->emu.setFlash(h->typeCode(), h->bufferImage(h->deviceEnd())); }

private slots:
    void init()
    {
        h = std::make_unique<RunnerHarness>(QStringLiteral("AT89C1051"));
        QVERIFY(h->ready());
        h->runner.setTimeouts({300, 600});
        for (int a = 0; a < MemoryBuffer::Size; ++a)
            h->buffer.set(uint16_t(a), uint8_t(a * 7 + a / 256));
        for (int a = 0; a < 64; ++a) {
            h->buffer.set(uint16_t(a), 0x00);
            h->buffer.set(uint16_t(64 + a), 0xFF);
        }
    }
    void cleanup() { h.reset(); }

    void passes_data()
    {
        QTest::addColumn<bool>("verify");
        QTest::newRow("program") << false;
        QTest::newRow("verify") << true;
    }
    // AT89C1051: 16 blocks, 2080 characters, DC3 after the last DC1, then ENQ.
    void passes()
    {
        QFETCH(bool, verify);
        if (verify)
            addVerifyFlash();
        h->pressRun(1);
        run(verify);

        QCOMPARE(h->emu.commandWords(), QStringList{verify ? "0C000001" : "01000001"});
        const QByteArray blocks = blockStream(h->buffer, 0x3FF);
        QCOMPARE(blocks.size(), 2080);
        QVERIFY(blocks.startsWith(QByteArray(128, '0') + "00" + QByteArray(128, 'F') + "C0"));
        QCOMPARE(h->sentAfterFrame(0), blocks + ctl(Ctl::DC3) + ctl(Ctl::ENQ));
        QCOMPARE(h->emu.flash(h->typeCode()).left(0x400), h->bufferImage(0x3FF));

        // The status line follows every byte, then shows the pass.
        QStringList expected{"", "", texts(verify).running};
        for (int a = 0; a <= 0x3FF; ++a)
            expected << texts(verify).progressPrefix + HexText::HexWordToStr4(uint16_t(a));
        expected << texts(verify).pass << "";
        QCOMPARE(h->view.history(1), expected);
        QCOMPARE(h->view.gaugeProgress, 1023);
        QCOMPARE(h->view.successText, QStringLiteral("Success : 1"));
    }

    void largestDevice()
    {
        h->selectDevice(QStringLiteral("AT89C55"));
        h->pressRun(1);
        h->arm(DeviceCommand::Id::Program);
        QCOMPARE(h->emu.blocksReceived(), 320);
        QCOMPARE(h->sentAfterFrame(0), blockStream(h->buffer, 0x4FFF) + ctl(Ctl::DC3) + ctl(Ctl::ENQ));
        QCOMPARE(h->view.history(1).at(h->view.history(1).size() - 3), QStringLiteral("Program.......4FFF"));
    }

    void failures_data()
    {
        QTest::addColumn<bool>("verify");
        QTest::addColumn<int>("event");
        QTest::addColumn<int>("action");
        QTest::addColumn<int>("index");
        QTest::addColumn<QByteArray>("extra");
        QTest::addColumn<QString>("text");
        for (bool verify : {false, true}) {
            const QByteArray n = verify ? "verify " : "program ";
            const CommandTexts &t = verify ? CommandTexts::verify() : CommandTexts::program();
            QTest::newRow(n + "ACK for first DC1") << verify << int(E::BlockRequest) << int(A::Garbage) << 0
                                                   << QByteArray(1, Ctl::ACK) << t.error;
            QTest::newRow(n + "DC1 after DC3") << verify << int(E::FinalReply) << int(A::Garbage) << -1
                                               << QByteArray(1, Ctl::DC1) << t.error;
            QTest::newRow(n + "NAK with report") << verify << int(E::BlockRequest) << int(A::Nak) << 2
                                                 << QByteArray("01A3") << t.failReportPrefix + "01A3";
            QTest::newRow(n + "NAK, two characters") << verify << int(E::FinalReply) << int(A::Nak) << -1
                                                     << QByteArray("4F") << t.failReportPrefix + "4F";
            QTest::newRow(n + "silent") << verify << int(E::BlockRequest) << int(A::Silence) << 3 << QByteArray()
                                        << t.timeOut;
        }
    }
    void failures()
    {
        QFETCH(bool, verify);
        QFETCH(int, event);
        QFETCH(int, action);
        QFETCH(int, index);
        QFETCH(QByteArray, extra);
        QFETCH(QString, text);
        if (verify)
            addVerifyFlash();
        EmulatorFault fault = EmulatorFault::at(E(event), A(action), index).withReport(extra);
        if (!extra.isEmpty())
            fault.withByte(uint8_t(extra[0]));
        h->emu.addFault(fault);
        h->pressRun(1);
        run(verify);
        verifyFailedWith(text);
    }

    void verifyMismatch()
    {
        addVerifyFlash();
        h->emu.addFault(EmulatorFault::at(E::BlockReceived, A::WrongData, 5).withOffset(3));
        h->pressRun(1);
        h->arm(DeviceCommand::Id::Verify);
        QVERIFY(h->view.lines[1].startsWith(QStringLiteral("Verify...Fail:")));
        QCOMPARE(h->view.lines[2], QStringLiteral("Command......Abort"));
    }

    void stopWhileBlockRequested_data()
    {
        QTest::addColumn<bool>("verify");
        QTest::addColumn<bool>("yes");
        QTest::newRow("program Yes") << false << true;
        QTest::newRow("program No") << false << false;
        QTest::newRow("verify Yes") << true << true;
    }
    void stopWhileBlockRequested()
    {
        QFETCH(bool, verify);
        QFETCH(bool, yes);
        if (verify)
            addVerifyFlash();
        h->runner.setTimeouts({1500, 15000});
        h->emu.addFault(EmulatorFault::at(E::BlockRequest, A::Delay, 2).withDelay(700));
        h->prompter.queue(yes ? Prompter::Answer::Yes : Prompter::Answer::No);
        h->when([&] { return h->emu.blocksReceived() >= 2; }, [&] { h->runner.StopRunClick(); });
        h->pressRun(1);
        run(verify);
        QCOMPARE(h->prompter.texts(), QStringList{"Do you want to Stop Command..?"});
        if (yes) {
            verifyFailedWith(texts(verify).breakText);
            QCOMPARE(h->emu.blocksReceived(), 2);
        } else {
            QCOMPARE(h->view.successText, QStringLiteral("Success : 1"));
            QCOMPARE(h->sentAfterFrame(0), blockStream(h->buffer, 0x3FF) + ctl(Ctl::DC3) + ctl(Ctl::ENQ));
        }
    }

    void stopWhileSending_data() { stopWhileBlockRequested_data(); }
    // A stop confirmed inside a block ends the run there: what went out is
    // an exact prefix of the correct stream, never a shifted block.
    void stopWhileSending()
    {
        QFETCH(bool, verify);
        QFETCH(bool, yes);
        if (verify)
            addVerifyFlash();
        h->prompter.queue(yes ? Prompter::Answer::Yes : Prompter::Answer::No);
        const QString at = texts(verify).progressPrefix + QStringLiteral("0105");
        h->view.onStatusLine = [&](int, const QString &text) {
            if (text == at)
                h->runner.StopRunClick();
        };
        h->pressRun(1);
        run(verify);
        QCOMPARE(h->prompter.texts(), QStringList{"Do you want to Stop Command..?"});
        const QByteArray blocks = blockStream(h->buffer, 0x3FF);
        if (!yes) {
            QCOMPARE(h->sentAfterFrame(0), blocks + ctl(Ctl::DC3) + ctl(Ctl::ENQ));
            return;
        }
        verifyFailedWith(texts(verify).breakText);
        // The failure ending discards what was still queued, so the line
        // carries at most the characters up to the stop.
        const QByteArray sent = h->sentAfterFrame(0);
        QVERIFY(sent.endsWith(Ctl::CAN));
        const QByteArray data = sent.chopped(1);
        QVERIFY2(data.size() >= 4 * 130 && data.size() <= 4 * 130 + 6 * 2, QByteArray::number(data.size()));
        QCOMPARE(data, blocks.left(data.size()));
        QCOMPARE(h->emu.blocksReceived(), 4);
        if (!verify)
            QCOMPARE(h->emu.flash(h->typeCode()).mid(0x100, 64), QByteArray(64, char(0xFF)));
    }

    void replyTimeLimit_data()
    {
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<bool>("passes");
        QTest::newRow("1350 ms") << 1350 << true;
        QTest::newRow("1650 ms") << 1650 << false;
    }
    void replyTimeLimit()
    {
        QFETCH(int, delayMs);
        QFETCH(bool, passes);
        h->runner.setTimeouts({1500, 15000});
        h->emu.addFault(EmulatorFault::at(E::BlockRequest, A::Delay, 1).withDelay(delayMs));
        h->pressRun(1);
        h->arm(DeviceCommand::Id::Program);
        if (passes)
            QCOMPARE(h->view.successText, QStringLiteral("Success : 1"));
        else
            verifyFailedWith("Program...Time-Out");
    }

    // The window closing in the middle of a block: the run ends through its
    // failure path and the programmer still gets CAN.
    void closingWhileSending()
    {
        h->view.onStatusLine = [&](int, const QString &text) {
            if (text == QStringLiteral("Program.......0050"))
                h->link.requestShutdown();
        };
        h->pressRun(1);
        h->arm(DeviceCommand::Id::Program);
        verifyFailedWith("Program......Break");
        QVERIFY(h->prompter.shown.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestBlockTransfer)
#include "tst_blocktransfer.moc"
