#include "DeviceCatalogue.h"
#include "FuseLayout.h"

#include <QTest>

using namespace FuseLayout;

namespace {

// The bit each target got from a decode, -1 when the byte does not feed it.
int bitOf(const QList<Reading> &readings, Target target)
{
    for (const Reading &r : readings)
        if (r.target == target)
            return r.bit;
    return -1;
}

} // namespace

class TestFuseLayout : public QObject
{
    Q_OBJECT
private slots:
    void groupsCoverEveryFuseDevice()
    {
        // Every device offered the editor must have captions and bit
        // meanings that agree on which displays exist.
        int withFuse = 0;
        for (int i = 0; i < DeviceCatalogue::Count; ++i) {
            const StructureDevice &d = DeviceCatalogue::row(i);
            const auto group = deviceGroup(d.DeviceName);
            QCOMPARE(group.has_value(), d.HasFuse == 1);
            QCOMPARE(!bitFields(d.TypeCode).empty(), d.HasFuse == 1);
            if (!group)
                continue;
            ++withFuse;
            bool fuse1 = false, lock3 = false;
            for (const BitField &f : bitFields(d.TypeCode)) {
                fuse1 |= f.target == Target::Fuse1;
                lock3 |= f.target == Target::Lock3;
            }
            QCOMPARE(group->fuse1Present, fuse1);
            QCOMPARE(group->fuse1Enabled, fuse1);
            QCOMPARE(group->lock3Present, lock3);
        }
        QCOMPARE(withFuse, 7);
    }

    void groupCaptions_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("fuse1");
        QTest::newRow("AT89S8252") << "AT89S8252" << "FSTRT";
        QTest::newRow("AT89S53") << "AT89S53" << "FSTRT";
        QTest::newRow("AT90S1200") << "AT90S1200" << "RCEN";
        QTest::newRow("AT90S2343") << "AT90S2343" << "RCEN";
        QTest::newRow("AT90S8535") << "AT90S8535" << "FSTRT";
        QTest::newRow("AT90S2313") << "AT90S2313" << "FSTRT";
        QTest::newRow("AT90S2323") << "AT90S2323" << "FSTRT";
    }
    void groupCaptions()
    {
        QFETCH(QString, device);
        QFETCH(QString, fuse1);
        QCOMPARE(deviceGroup(device)->fuse1Name, fuse1);
    }

    void groupNeedsExactName()
    {
        QVERIFY(!deviceGroup(QStringLiteral("at89s53")));
        QVERIFY(!deviceGroup(QStringLiteral("AT89S53 ")));
        QVERIFY(!deviceGroup(QString()));
    }

    void decodeBits_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<bool>("lockByte");
        QTest::addColumn<int>("value");
        QTest::addColumn<QList<int>>("bits"); // Fuse1, Fuse2, Lock1, Lock2, Lock3
        QTest::newRow("04 fuse 01") << "04" << false << 0x01 << QList<int>{-1, 1, -1, -1, -1};
        QTest::newRow("04 fuse FE: only bit 0") << "04" << false << 0xFE << QList<int>{-1, 0, -1, -1, -1};
        QTest::newRow("04 lock 07") << "04" << true << 0x07 << QList<int>{-1, -1, 1, 1, 1};
        QTest::newRow("04 lock 04: bit 2 is lock 1") << "04" << true << 0x04 << QList<int>{-1, -1, 1, 0, 0};
        QTest::newRow("04 lock F9: bit 0 is lock 3, high bits ignored") << "04" << true << 0xF9 << QList<int>{-1, -1, 0, 0, 1};
        QTest::newRow("06 fuse DF") << "06" << false << 0xDF << QList<int>{1, 0, 1, 1, -1};
        QTest::newRow("07 fuse 60") << "07" << false << 0x60 << QList<int>{0, 1, 0, 1, -1};
        QTest::newRow("07 fuse 81") << "07" << false << 0x81 << QList<int>{1, 0, 1, 0, -1};
        QTest::newRow("06 has no lock byte") << "06" << true << 0xFF << QList<int>{-1, -1, -1, -1, -1};
        QTest::newRow("01 has no fuse bits") << "01" << false << 0xFF << QList<int>{-1, -1, -1, -1, -1};
    }
    void decodeBits()
    {
        QFETCH(QString, type);
        QFETCH(bool, lockByte);
        QFETCH(int, value);
        QFETCH(QList<int>, bits);
        const auto readings = decode(type, lockByte ? ByteKind::Lock : ByteKind::Fuse, uint8_t(value));
        const Target targets[] = {Target::Fuse1, Target::Fuse2, Target::Lock1, Target::Lock2, Target::Lock3};
        for (int i = 0; i < 5; ++i)
            QCOMPARE(bitOf(readings, targets[i]), bits[i]);
    }

    void writeValues_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("fuse1");
        QTest::addColumn<int>("fuse2");
        QTest::addColumn<int>("value"); // -1: refused
        QTest::newRow("04 SPIEN disable") << "04" << -1 << 1 << 0x01;
        QTest::newRow("04 SPIEN enable, Fuse1 ignored") << "04" << 1 << 0 << 0x00;
        QTest::newRow("04 SPIEN unchosen") << "04" << 0 << -1 << -1;
        QTest::newRow("06 RCEN disable SPIEN enable") << "06" << 1 << 0 << 0x01;
        QTest::newRow("07 RCEN enable SPIEN disable") << "07" << 0 << 1 << 0x20;
        QTest::newRow("06 both disable") << "06" << 1 << 1 << 0x21;
        QTest::newRow("06 both enable") << "06" << 0 << 0 << 0x00;
        QTest::newRow("06 Fuse1 unchosen") << "06" << -1 << 0 << -1;
        QTest::newRow("07 Fuse2 unchosen") << "07" << 1 << -1 << -1;
        QTest::newRow("06 item out of range") << "06" << 2 << 0 << -1;
        QTest::newRow("type without fuse") << "01" << 0 << 0 << -1;
    }
    void writeValues()
    {
        QFETCH(QString, type);
        QFETCH(int, fuse1);
        QFETCH(int, fuse2);
        QFETCH(int, value);
        const auto v = writeValue(type, fuse1, fuse2);
        QCOMPARE(v.has_value(), value >= 0);
        if (v)
            QCOMPARE(int(*v), value);
    }

    void writtenChoicesReadBack_data()
    {
        QTest::addColumn<QString>("type");
        QTest::newRow("04") << "04";
        QTest::newRow("06") << "06";
        QTest::newRow("07") << "07";
    }
    void writtenChoicesReadBack()
    {
        // The layout written and the layout read must be the same bits, or
        // every write would fail its check (or pass a wrong one).
        QFETCH(QString, type);
        for (int f1 = 0; f1 < 2; ++f1) {
            for (int f2 = 0; f2 < 2; ++f2) {
                const uint8_t v = *writeValue(type, f1, f2);
                // Unused bits read back as ones must not matter.
                const uint8_t readBack = uint8_t(v | ~readBackValue(type, 0xFF));
                QCOMPARE(readBackValue(type, readBack), v);
                const auto readings = decode(type, ByteKind::Fuse, readBack);
                QCOMPARE(bitOf(readings, Target::Fuse2), f2);
                if (type != QLatin1String("04"))
                    QCOMPARE(bitOf(readings, Target::Fuse1), f1);
            }
        }
    }

    void readBack()
    {
        QCOMPARE(int(readBackValue(QStringLiteral("07"), 0xE0)), 0x20);
        QCOMPARE(int(readBackValue(QStringLiteral("06"), 0xDF)), 0x01);
        QCOMPARE(int(readBackValue(QStringLiteral("04"), 0xFE)), 0x00);
        QCOMPARE(int(readBackValue(QStringLiteral("04"), 0x01)), 0x01);
    }

    void commandTexts()
    {
        QCOMPARE(readFuseCommand(QStringLiteral("04")), QStringLiteral("09000004"));
        QCOMPARE(readLockCommand(QStringLiteral("04")), QStringLiteral("08000004"));
        QCOMPARE(writeFuseCommand(0x01, QStringLiteral("04")), QStringLiteral("04000104"));
        QCOMPARE(writeFuseCommand(0x01, QStringLiteral("06")), QStringLiteral("04000106"));
        QCOMPARE(writeFuseCommand(0x20, QStringLiteral("07")), QStringLiteral("04002007"));
        QCOMPARE(writeFuseCommand(0x21, QStringLiteral("06")), QStringLiteral("04002106"));
    }
};

QTEST_APPLESS_MAIN(TestFuseLayout)
#include "tst_fuselayout.moc"
