#include "EmulatorReceived.h"
#include "HexFileLoader.h"
#include "HexFileWriter.h"
#include "HexText.h"
#include "RunnerHarness.h"

#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {

using A = EmulatorFault::Action;
using E = EmulatorFault::Event;

QByteArray pattern(int size)
{
    QByteArray out(size, 0);
    for (int a = 0; a < size; ++a)
        out[a] = char(a * 13 + a / 256 + 1);
    return out;
}

uint16_t sum16(const QByteArray &bytes)
{
    uint32_t sum = 0;
    for (char c : bytes)
        sum += uint8_t(c);
    return uint16_t(sum);
}

} // namespace

// Reading the AT89C2051 (32 blocks) into the buffer.
class TestReadDevice : public QObject
{
    Q_OBJECT
    std::unique_ptr<RunnerHarness> h;
    QByteArray m_flash;

    void verifyFailedWith(const QString &text)
    {
        QCOMPARE(h->view.currentLines(), (QStringList{text, "Command......Abort", "", "", "", ""}));
        QCOMPARE(h->view.failureText, QStringLiteral("Failure : 1"));
        QVERIFY(EmulatorReceived::endsWith(h->emu, Ctl::CAN));
        // The displays keep what they showed before the read.
        QCOMPARE(h->buffer.BufferEnd, uint16_t(511));
        QVERIFY(h->view.bufferEnd.isEmpty() && h->view.bufferSum.isEmpty());
        QCOMPARE(h->view.fileNameCleared, 0);
        QCOMPARE(h->view.bufferCommandsEnabled, 0);
        QVERIFY(!h->view.windowLocked && !h->runner.active());
    }

private slots:
    void init()
    {
        h = std::make_unique<RunnerHarness>();
        QVERIFY(h->ready());
        h->runner.setTimeouts({300, 600});
        m_flash = pattern(0x800);
        h->emu.setFlash(1, m_flash);
    }
    void cleanup() { h.reset(); }

    void passes_data()
    {
        QTest::addColumn<bool>("erased");
        QTest::addColumn<bool>("lowerCase");
        QTest::addColumn<bool>("selected");
        QTest::newRow("data") << false << false << true;
        QTest::newRow("erased") << true << false << true;
        QTest::newRow("lower-case digits") << false << true << true;
        QTest::newRow("device not usable") << false << false << false;
    }
    void passes()
    {
        QFETCH(bool, erased);
        QFETCH(bool, lowerCase);
        QFETCH(bool, selected);
        if (erased)
            m_flash = QByteArray(0x800, char(0xFF));
        h->emu.setFlash(1, m_flash);
        h->emu.setLowerCaseHex(lowerCase);
        h->selection.DeviceSelected = selected;
        // A longer file was loaded before: its bytes past the device stay.
        h->buffer.fill(0x5A);
        h->buffer.BufferEnd = 0x0FFF;
        h->pressRun(1);
        h->arm(DeviceCommand::Id::Read);

        QCOMPARE(h->emu.commandWords(), QStringList{"06000001"});
        QCOMPARE(h->sentAfterFrame(0), QByteArray(31, Ctl::DC1) + Ctl::DC3 + Ctl::ENQ);
        QCOMPARE(h->bufferImage(0x7FF), m_flash);
        QCOMPARE(h->buffer.at(0x800), uint8_t(0x5A));
        QCOMPARE(h->buffer.at(0xFFF), uint8_t(0x5A));
        QCOMPARE(h->buffer.BufferEnd, uint16_t(0x7FF));
        QCOMPARE(h->view.bufferEnd, QStringLiteral("07FFH"));
        QCOMPARE(h->view.bufferSum, HexText::HexWordToStr4(sum16(m_flash)) + "H");
        if (erased)
            QCOMPARE(h->view.bufferSum, QStringLiteral("F800H"));
        QCOMPARE(h->view.fileNameCleared, 1);
        QCOMPARE(h->view.bufferCommandsEnabled, selected ? 1 : 0);
        QCOMPARE(h->view.successText, QStringLiteral("Success : 1"));

        QStringList line1 = h->view.history(1);
        QCOMPARE(line1.mid(2, 3), (QStringList{"Read......", "Read..........0000", "Read..........0000"}));
        QCOMPARE(line1.mid(line1.size() - 4),
                 (QStringList{"Read..........07FE", "Read..........07FF", "Read..........Pass", ""}));
        QCOMPARE(line1.count(QStringLiteral("Read..........0040")), 2); // block start, then its first byte
    }

    void failures_data()
    {
        QTest::addColumn<int>("event");
        QTest::addColumn<int>("action");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("byte");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("paced");
        // The bytes up to here are stored before the failure.
        QTest::addColumn<int>("stored");
        const QByteArray all = QByteArray(31, Ctl::DC1) + Ctl::DC3;
        QTest::newRow("checksum") << int(E::ReadBlock) << int(A::WrongChecksum) << 3 << 0 << "ReadChecksum Error"
                                  << QByteArray(3, Ctl::DC1) << 0xFF;
        QTest::newRow("G in data") << int(E::ReadBlock) << int(A::NonHex) << 2 << 0 << "Read.........Error"
                                   << QByteArray(2, Ctl::DC1) << 128 + 4;
        QTest::newRow("silent block") << int(E::ReadBlock) << int(A::Silence) << 2 << 0 << "Read......Time-Out"
                                      << QByteArray(2, Ctl::DC1) << 127;
        QTest::newRow("final NAK") << int(E::FinalReply) << int(A::Nak) << -1 << 0 << "Read.........Error" << all
                                   << 0x7FF;
        QTest::newRow("final 41h") << int(E::FinalReply) << int(A::Garbage) << -1 << 0x41 << "Read.........Error"
                                   << all << 0x7FF;
        QTest::newRow("final silent") << int(E::FinalReply) << int(A::Silence) << -1 << 0 << "Read......Time-Out"
                                      << all << 0x7FF;
    }
    void failures()
    {
        QFETCH(int, event);
        QFETCH(int, action);
        QFETCH(int, index);
        QFETCH(int, byte);
        QFETCH(QString, text);
        QFETCH(QByteArray, paced);
        QFETCH(int, stored);
        h->emu.addFault(EmulatorFault::at(E(event), A(action), index).withByte(uint8_t(byte)).withOffset(10));
        h->pressRun(1);
        h->arm(DeviceCommand::Id::Read);
        verifyFailedWith(text);
        QCOMPARE(h->sentAfterFrame(0), paced + Ctl::CAN);
        QCOMPARE(h->bufferImage(uint16_t(stored)), m_flash.left(stored + 1));
        QCOMPARE(h->buffer.at(uint16_t(stored + 1)), uint8_t(0));
    }

    void stopWhileBlockAwaited_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("Yes") << true;
        QTest::newRow("No") << false;
    }
    void stopWhileBlockAwaited()
    {
        QFETCH(bool, yes);
        h->runner.setTimeouts({1500, 15000});
        h->emu.addFault(EmulatorFault::at(E::ReadBlock, A::Delay, 2).withDelay(700));
        h->prompter.queue(yes ? Prompter::Answer::Yes : Prompter::Answer::No);
        h->when([&] { return h->emu.received().count(Ctl::DC1) >= 2; }, [&] { h->runner.StopRunClick(); });
        h->pressRun(1);
        h->arm(DeviceCommand::Id::Read);
        QCOMPARE(h->prompter.texts(), QStringList{"Do you want to Stop Command..?"});
        if (yes) {
            verifyFailedWith("Read.........Break");
        } else {
            QCOMPARE(h->view.successText, QStringLiteral("Success : 1"));
            QCOMPARE(h->bufferImage(0x7FF), m_flash);
        }
    }

    // The image read and saved loads back as the device's contents.
    void readThenSave()
    {
        h->pressRun(1);
        h->arm(DeviceCommand::Id::Read);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("device.hex"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(HexFileWriter::image(h->buffer, h->buffer.BufferEnd));
        file.close();

        MemoryBuffer reloaded;
        const HexFileLoader::Result result = HexFileLoader::loadFile(path, reloaded);
        QVERIFY(result.opened && !result.formatError && result.damagedCount == 0);
        QCOMPARE(reloaded.BufferEnd, uint16_t(0x7FF));
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(reloaded.data()), 0x800), m_flash);
    }
};

QTEST_GUILESS_MAIN(TestReadDevice)
#include "tst_readdevice.moc"
