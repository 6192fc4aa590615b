#include "DeviceCatalogue.h"
#include "HexFileActions.h"
#include "ScriptedPrompter.h"

#include <QTest>

namespace {

// Each example and the device it is written for.
struct Example
{
    const char *file;
    const char *device;
};

const Example Examples[] = {
    {"blink-8051/blink.hex", "AT89C2051"},
    {"blink-avr/blink.hex", "AT90S2313"},
    {"romcheck-at89c55/romcheck.hex", "AT89C55"},
};

SelectionState selected(const char *name)
{
    SelectionState s;
    s.SelectedDevice = DeviceCatalogue::row(DeviceCatalogue::indexOf(QLatin1String(name)));
    s.DeviceSelected = true;
    return s;
}

} // namespace

// The committed sample files open in the window's loader as the operator
// opens them: no box at all, data that fits the device they are for.
class TestExamples : public QObject
{
    Q_OBJECT

private slots:
    void opensWithoutAMessage_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("device");
        for (const Example &e : Examples)
            QTest::newRow(e.file) << QString::fromLatin1(e.file) << QString::fromLatin1(e.device);
    }
    void opensWithoutAMessage()
    {
        QFETCH(QString, file);
        QFETCH(QString, device);
        const SelectionState selection = selected(qPrintable(device));
        QVERIFY(selection.SelectedDevice.DeviceName == device);
        MemoryBuffer buffer;
        ScriptedPrompter prompter;
        const auto outcome = HexFileActions::OpenHexFile(QStringLiteral(EXAMPLES_DIR "/") + file, buffer, selection,
                                                         prompter);
        QCOMPARE(prompter.texts(), QStringList());
        QVERIFY(outcome.opened && outcome.finished && outcome.enableBufferCommands);
        QVERIFY(!outcome.formatError);
        QCOMPARE(outcome.damagedCount, 0);
        QVERIFY(buffer.BufferEnd <= selection.SelectedDevice.deviceEnd());
        // A real program starts with its reset vector at 0000h.
        QVERIFY(buffer.at(0) != 0xFF);
    }

    // The self-test image covers the whole AT89C55 and carries the sum of
    // 0000h-4FFDh at 4FFEh, big-endian, which its program checks at reset.
    void romCheckFillsTheDevice()
    {
        MemoryBuffer buffer;
        ScriptedPrompter prompter;
        HexFileActions::OpenHexFile(QStringLiteral(EXAMPLES_DIR "/romcheck-at89c55/romcheck.hex"), buffer,
                                    selected("AT89C55"), prompter);
        QCOMPARE(buffer.BufferEnd, selected("AT89C55").SelectedDevice.deviceEnd());
        QCOMPARE(buffer.BufferEnd, uint16_t(0x4FFF));
        const uint16_t stored = uint16_t(buffer.at(0x4FFE) << 8 | buffer.at(0x4FFF));
        QCOMPARE(buffer.checksum(0x4FFD), stored);
    }
};

QTEST_GUILESS_MAIN(TestExamples)
#include "tst_Examples.moc"
