#include "DeviceCatalogue.h"
#include "DeviceSelection.h"
#include "ScriptedPrompter.h"
#include "SelectionView.h"

#include <QTest>

using Item = DeviceMenuItem;
using Input = DeviceSelection::Input;

namespace {

DeviceMenuState menuOf(std::initializer_list<Item> items)
{
    DeviceMenuState m;
    for (Item i : items)
        m[i] = true;
    return m;
}

Input choose(int index, const SelectionState &before = {}, bool fileLoaded = false, uint16_t bufferEnd = 511,
             const QString &bios = QString(), const DeviceMenuState &menu = {})
{
    return Input{index, before, fileLoaded, bufferEnd, bios, menu};
}

int row(const char *name)
{
    return DeviceCatalogue::indexOf(QString::fromLatin1(name));
}

// Records the window calls and the boxes in one sequence.
class RecordingView : public SelectionView
{
public:
    QStringList events;
    uint16_t sum = 0;
    uint16_t askedLast = 0xFFFF;

    void showDeviceFields(const QString &a, const QString &v, const QString &e) override
    {
        events << QStringLiteral("fields %1 %2 %3").arg(a, v, e);
    }
    uint16_t bufferChecksum(uint16_t last) const override
    {
        const_cast<RecordingView *>(this)->askedLast = last;
        return sum;
    }
    void showBufferSum(const QString &text) override { events << QStringLiteral("sum ") + text; }
    void setDeviceMenu(const DeviceMenuState &menu) override
    {
        events << (menu.anyEnabled() ? QStringLiteral("menu") : QStringLiteral("menu off"));
    }
    void showAdapterNotice() override { events << QStringLiteral("adapter"); }
    void focusResetCount() override { events << QStringLiteral("focus Reset"); }
    void focusConnect() override { events << QStringLiteral("focus Connect"); }
};

} // namespace

class TestDeviceSelection : public QObject
{
    Q_OBJECT

private slots:
    void menuTablePerRow_data();
    void menuTablePerRow();
    void bufferCommandsOnlyEverEnabled();
    void firmwareRule_data();
    void firmwareRule();
    void lengthWarning_data();
    void lengthWarning();
    void switchingDeviceResetsLockAndFuseItems();
    void noRowWorksOnPreviousDevice();
    void noDeviceEverSelected();
    void applyOrderWithAdapterAndWarning();
    void applyOrderWithRefusal();
    void applyShowsChecksumOfDeviceRange();
};

void TestDeviceSelection::menuTablePerRow_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("locks");
    QTest::addColumn<bool>("fuse");
    const struct { const char *name; int locks; bool fuse; } rows[] = {
        {"AT89C1051", 2, false}, {"AT89C1051U", 2, false}, {"AT89C2051", 2, false}, {"AT89C2051X2", 2, false},
        {"AT89C4051", 2, false}, {"AT89C51", 3, false},    {"AT89C52", 3, false},   {"AT89C55", 3, false},
        {"AT89C55WD", 3, false}, {"AT89S8252", 3, true},   {"AT89S51", 3, false},   {"AT89S52", 3, false},
        {"AT89S53", 3, true},    {"AT90S1200", 2, true},   {"AT90S2313", 2, true},  {"AT90S8535", 2, true},
        {"AT90S2343", 2, true},  {"AT90S2323", 2, true},
    };
    for (const auto &r : rows)
        QTest::newRow(r.name) << row(r.name) << r.locks << r.fuse;
}

void TestDeviceSelection::menuTablePerRow()
{
    QFETCH(int, index);
    QFETCH(int, locks);
    QFETCH(bool, fuse);
    QVERIFY(index >= 0);
    const StructureDevice &r = DeviceCatalogue::row(index);

    // The row's worst case: every item enabled by the previous device.
    DeviceMenuState all;
    all.enabled.fill(true);
    all[Item::ProgramDevice] = all[Item::VerifyDevice] = all[Item::AutoProgram] = false;
    for (const DeviceMenuState &before : {DeviceMenuState{}, all}) {
        const auto out = DeviceSelection::compute(choose(index, {}, false, 511, QStringLiteral("01/01/2003"), before));
        QVERIFY(out.rowChosen);
        QCOMPARE(out.algorithm, r.Algorithm);
        QCOMPARE(out.vpp, QStringLiteral("+12V"));
        QCOMPARE(out.deviceEnd, r.DeviceEnd + QLatin1Char('H'));
        QCOMPARE(out.state.SelectedDevice, r);
        QVERIFY(out.state.DeviceSelected);
        QCOMPARE(out.checksumEnd, r.deviceEnd());

        DeviceMenuState expected = menuOf({Item::EraseDevice, Item::BlankDevice, Item::ReadDevice, Item::Lock1, Item::Lock2});
        expected[Item::Lock3] = locks == 3;
        expected[Item::Fuse] = fuse;
        QCOMPARE(out.menu, expected);
        QCOMPARE(out.finalMenu, expected);
        QCOMPARE(out.adapterNotice, r.DeviceName == QLatin1String("AT90S8535"));
        QVERIFY(out.refusal.isEmpty());
        QVERIFY(out.lengthWarning.isEmpty());
    }
}

void TestDeviceSelection::bufferCommandsOnlyEverEnabled()
{
    const int c2051 = row("AT89C2051");
    const DeviceMenuState buffer = menuOf({Item::ProgramDevice, Item::VerifyDevice, Item::AutoProgram});

    auto loaded = DeviceSelection::compute(choose(c2051, {}, true, 0x0100));
    QVERIFY(loaded.menu[Item::ProgramDevice] && loaded.menu[Item::VerifyDevice] && loaded.menu[Item::AutoProgram]);

    // Enabled by a read without a file: choosing a device leaves them on.
    auto kept = DeviceSelection::compute(choose(c2051, {}, false, 511, QString(), buffer));
    QVERIFY(kept.menu[Item::ProgramDevice] && kept.menu[Item::VerifyDevice] && kept.menu[Item::AutoProgram]);

    auto none = DeviceSelection::compute(choose(c2051));
    QVERIFY(!none.menu[Item::ProgramDevice] && !none.menu[Item::VerifyDevice] && !none.menu[Item::AutoProgram]);
}

void TestDeviceSelection::firmwareRule_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("bios");
    QTest::addColumn<bool>("refused");
    QTest::newRow("S51 on 04/06/2001") << "AT89S51" << "04/06/2001" << true;
    QTest::newRow("S52 on 04/06/2001") << "AT89S52" << "04/06/2001" << true;
    QTest::newRow("S51 other date") << "AT89S51" << "05/06/2001" << false;
    QTest::newRow("S52 before connecting") << "AT89S52" << "" << false;
    QTest::newRow("date with trailing blank") << "AT89S51" << "04/06/2001 " << false;
    QTest::newRow("S8252 same date") << "AT89S8252" << "04/06/2001" << false;
    QTest::newRow("S53 same date") << "AT89S53" << "04/06/2001" << false;
    QTest::newRow("C51 same date") << "AT89C51" << "04/06/2001" << false;
}

void TestDeviceSelection::firmwareRule()
{
    QFETCH(QString, device);
    QFETCH(QString, bios);
    QFETCH(bool, refused);
    const int index = DeviceCatalogue::indexOf(device);
    const auto out = DeviceSelection::compute(choose(index, {}, true, 0x0100, bios));

    QCOMPARE(out.state.SelectedDevice, DeviceCatalogue::row(index));
    QCOMPARE(out.state.DeviceSelected, !refused);
    QVERIFY(out.menu[Item::EraseDevice] && out.menu[Item::Lock3] && out.menu[Item::ProgramDevice]);
    if (refused) {
        QCOMPARE(out.refusal, QStringLiteral("This Device Not Support on Bios :04/06/2001"));
        QCOMPARE(out.finalMenu, DeviceMenuState{});
        // The fields still show the refused row.
        QCOMPARE(out.deviceEnd, DeviceCatalogue::row(index).DeviceEnd + QLatin1Char('H'));
    } else {
        QVERIFY(out.refusal.isEmpty());
        QCOMPARE(out.finalMenu, out.menu);
    }
}

void TestDeviceSelection::lengthWarning_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<bool>("fileLoaded");
    QTest::addColumn<int>("bufferEnd");
    QTest::addColumn<QString>("bios");
    QTest::addColumn<bool>("warned");
    QTest::newRow("07FF below 0FFF") << "AT89C2051" << true << 0x0FFF << "" << true;
    QTest::newRow("equal is not over") << "AT89C51" << true << 0x0FFF << "" << false;
    QTest::newRow("no file") << "AT89C2051" << false << 0x0FFF << "" << false;
    QTest::newRow("unsigned compare") << "AT89C55" << true << 0xFFFF << "" << true;
    QTest::newRow("after refusal too") << "AT89S51" << true << 0x1000 << "04/06/2001" << true;
}

void TestDeviceSelection::lengthWarning()
{
    QFETCH(QString, device);
    QFETCH(bool, fileLoaded);
    QFETCH(int, bufferEnd);
    QFETCH(QString, bios);
    QFETCH(bool, warned);
    const auto out = DeviceSelection::compute(
        choose(DeviceCatalogue::indexOf(device), {}, fileLoaded, uint16_t(bufferEnd), bios));
    QCOMPARE(out.lengthWarning, warned ? QStringLiteral("End Buffer Over End Device") : QString());
}

void TestDeviceSelection::switchingDeviceResetsLockAndFuseItems()
{
    const auto s8252 = DeviceSelection::compute(choose(row("AT89S8252")));
    QVERIFY(s8252.menu[Item::Lock3] && s8252.menu[Item::Fuse]);

    const auto c2051 = DeviceSelection::compute(choose(row("AT89C2051"), s8252.state, false, 511, QString(), s8252.finalMenu));
    QVERIFY(!c2051.menu[Item::Lock3]);
    QVERIFY(!c2051.menu[Item::Fuse]);
    QVERIFY(c2051.menu[Item::Lock1] && c2051.menu[Item::Lock2]);
    QCOMPARE(c2051.state.SelectedDevice.DeviceName, QStringLiteral("AT89C2051"));

    // Leaving a refused device restores a selectable one.
    const auto refused = DeviceSelection::compute(choose(row("AT89S52"), {}, false, 511, QStringLiteral("04/06/2001")));
    const auto next = DeviceSelection::compute(
        choose(row("AT89C52"), refused.state, false, 511, QStringLiteral("04/06/2001"), refused.finalMenu));
    QVERIFY(next.state.DeviceSelected);
    QVERIFY(next.finalMenu[Item::EraseDevice]);
}

void TestDeviceSelection::noRowWorksOnPreviousDevice()
{
    const auto s8252 = DeviceSelection::compute(choose(row("AT89S8252")));
    for (int index : {-1, DeviceCatalogue::Count, 1000}) {
        // Nothing is copied: Erase stays as it was (off); Fuse and locks follow
        // the previous row.
        const auto out = DeviceSelection::compute(choose(index, s8252.state, true, 0x3000));
        QVERIFY(!out.rowChosen);
        QCOMPARE(out.state.SelectedDevice.DeviceName, QStringLiteral("AT89S8252"));
        QVERIFY(out.state.DeviceSelected);
        QCOMPARE(out.menu, menuOf({Item::Lock1, Item::Lock2, Item::Lock3, Item::Fuse}));
        QCOMPARE(out.checksumEnd, uint16_t(0x27FF));
        QCOMPARE(out.lengthWarning, QStringLiteral("End Buffer Over End Device"));
    }

    // The previous device was refused: the refusal is raised again.
    const auto refused = DeviceSelection::compute(choose(row("AT89S51"), {}, false, 511, QStringLiteral("04/06/2001")));
    const auto again = DeviceSelection::compute(choose(-1, refused.state, false, 511, QStringLiteral("04/06/2001")));
    QVERIFY(!again.refusal.isEmpty());
    QVERIFY(!again.state.DeviceSelected);
}

void TestDeviceSelection::noDeviceEverSelected()
{
    const auto out = DeviceSelection::compute(choose(-1));
    QVERIFY(!out.rowChosen);
    QCOMPARE(out.checksumEnd, uint16_t(0));
    QCOMPARE(out.menu, DeviceMenuState{});
    QVERIFY(!out.state.DeviceSelected);
    QVERIFY(!out.adapterNotice);
    QVERIFY(out.refusal.isEmpty());
}

void TestDeviceSelection::applyOrderWithAdapterAndWarning()
{
    const auto out = DeviceSelection::compute(choose(row("AT90S8535"), {}, true, 0x2000));
    RecordingView view;
    ScriptedPrompter prompter;
    prompter.setHandler([&](const ScriptedPrompter::Shown &s) {
        view.events << QStringLiteral("box %1 %2").arg(int(s.icon)).arg(s.text);
        return Prompter::Answer::Ok;
    });
    DeviceSelection::apply(out, view, prompter);
    const QStringList expected{
        "fields 90SXXXX +12V 1FFFH", "sum 0000H", "menu", "adapter", "focus Reset",
        QStringLiteral("box %1 End Buffer Over End Device").arg(int(Prompter::Icon::Warning)), "focus Connect",
    };
    QCOMPARE(view.events, expected);
    QCOMPARE(prompter.shown.first().buttons, Prompter::Buttons::Ok);

    // Chosen a second time, the notice is shown again.
    view.events.clear();
    DeviceSelection::apply(DeviceSelection::compute(choose(row("AT90S8535"), out.state)), view, prompter);
    QVERIFY(view.events.contains("adapter"));
}

void TestDeviceSelection::applyOrderWithRefusal()
{
    const auto out = DeviceSelection::compute(choose(row("AT89S52"), {}, true, 0x2000, QStringLiteral("04/06/2001")));
    RecordingView view;
    ScriptedPrompter prompter;
    prompter.setHandler([&](const ScriptedPrompter::Shown &s) {
        view.events << QStringLiteral("box %1 %2").arg(int(s.icon)).arg(s.text);
        return Prompter::Answer::Ok;
    });
    DeviceSelection::apply(out, view, prompter);
    const QStringList expected{
        "fields 89SXX +12V 1FFFH",
        "sum 0000H",
        "menu",
        QStringLiteral("box %1 This Device Not Support on Bios :04/06/2001").arg(int(Prompter::Icon::Error)),
        "menu off",
        QStringLiteral("box %1 End Buffer Over End Device").arg(int(Prompter::Icon::Warning)),
        "focus Connect",
    };
    QCOMPARE(view.events, expected);
}

void TestDeviceSelection::applyShowsChecksumOfDeviceRange()
{
    RecordingView view;
    ScriptedPrompter prompter;
    view.sum = 63488; // 2048 bytes of FFh
    DeviceSelection::apply(DeviceSelection::compute(choose(row("AT89C2051"))), view, prompter);
    QCOMPARE(view.askedLast, uint16_t(0x07FF));
    QVERIFY(view.events.contains("sum F800H"));
    QVERIFY(prompter.shown.isEmpty());

    view.sum = 0x1FE0;
    view.events.clear();
    DeviceSelection::apply(DeviceSelection::compute(choose(-1)), view, prompter);
    QCOMPARE(view.askedLast, uint16_t(0));
    QCOMPARE(view.events.first(), QStringLiteral("sum 1FE0H"));
}

QTEST_GUILESS_MAIN(TestDeviceSelection)
#include "tst_DeviceSelection.moc"
