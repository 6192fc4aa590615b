#include "DeviceCatalogue.h"
#include "HexListing.h"
#include "MemoryBuffer.h"
#include "SelectionState.h"
#include "TEditForm.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTimer>

class TestTEditForm : public QObject
{
    Q_OBJECT

    MemoryBuffer m_buffer;
    SelectionState m_selection;

    QStringList listed(const TEditForm &form) const
    {
        return form.TextDisplay->toPlainText().split(QLatin1Char('\n'));
    }

    void selectDevice(const char *name)
    {
        m_selection.SelectedDevice = DeviceCatalogue::row(DeviceCatalogue::indexOf(QString::fromLatin1(name)));
        m_selection.DeviceSelected = true;
    }

private slots:
    void init()
    {
        m_buffer = MemoryBuffer();
        m_selection = SelectionState();
    }

    void startUpListing()
    {
        TEditForm form(m_buffer, m_selection);
        form.setWindowTitle(QStringLiteral("other"));
        form.show();
        QCOMPARE(form.windowTitle(), QStringLiteral("Display Hex Buffer"));
        const QStringList lines = listed(form);
        QCOMPARE(lines.size(), 32);
        for (const QString &line : lines)
            QVERIFY(line.endsWith(QString(16, QLatin1Char('.'))));
        QCOMPARE(form.TextDisplay->document()->blockCount(), 32);
    }

    void everyShowingRebuildsTheListing()
    {
        TEditForm form(m_buffer, m_selection);
        form.show();
        form.hide();
        m_buffer.fill(0x41);
        m_buffer.BufferEnd = 0x0010;
        form.setWindowTitle(QStringLiteral("other"));
        form.show();
        QCOMPARE(form.windowTitle(), QStringLiteral("Display Hex Buffer"));
        QCOMPARE(listed(form), QStringList{HexListing::line(m_buffer, 0)});
        form.hide();

        m_buffer.BufferEnd = 0xFFFF;
        form.show();
        QCOMPARE(listed(form).size(), 4096);
        QVERIFY(listed(form).last().startsWith(QStringLiteral("FFF0 : 41 ")));
        form.hide();

        // A device's end rules over BufferEnd, unless the device was refused.
        selectDevice("AT89C2051");
        form.show();
        QCOMPARE(listed(form).size(), 128);
        form.hide();
        m_selection.DeviceSelected = false;
        form.show();
        QCOMPARE(listed(form).size(), 4096);
    }

    void controls()
    {
        TEditForm form(m_buffer, m_selection);
        QCOMPARE(form.findChild<QPlainTextEdit *>(QStringLiteral("TextDisplay")), form.TextDisplay);
        QCOMPARE(form.findChild<QPushButton *>(QStringLiteral("EditOK"))->text(), QStringLiteral("OK"));
        QCOMPARE(form.findChild<QLabel *>(QStringLiteral("Label1"))->text(), QStringLiteral("Addr"));
        QCOMPARE(form.findChild<QLabel *>(QStringLiteral("Label2"))->text(), QStringLiteral("Hex Data"));
        QCOMPARE(form.findChild<QLabel *>(QStringLiteral("Label3"))->text(), QStringLiteral("ASCII"));
        QVERIFY(form.TextDisplay->isReadOnly());
        QCOMPARE(form.TextDisplay->lineWrapMode(), QPlainTextEdit::NoWrap);
        QCOMPARE(form.TextDisplay->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QVERIFY(QFontInfo(form.TextDisplay->font()).fixedPitch());
        QCOMPARE(form.minimumSize(), form.maximumSize());
        const Qt::WindowFlags flags = form.windowFlags();
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QVERIFY(!(flags & (Qt::WindowContextHelpButtonHint | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    }

    void headingsStandOverTheirColumnsAndLinesFit()
    {
        m_buffer.BufferEnd = 0xFFFF;
        TEditForm form(m_buffer, m_selection);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.TextDisplay->horizontalScrollBar()->maximum(), 0);
        const auto columnX = [&](int column) {
            QTextCursor cursor(form.TextDisplay->document()->firstBlock());
            cursor.setPosition(column);
            const QRect r = form.TextDisplay->cursorRect(cursor);
            return form.TextDisplay->viewport()->mapTo(&form, r.topLeft()).x();
        };
        QVERIFY(qAbs(form.Label1->x() - columnX(HexListing::AddressColumn)) <= 2);
        QVERIFY(qAbs(form.Label2->x() - columnX(HexListing::HexColumn)) <= 2);
        QVERIFY(qAbs(form.Label3->x() - columnX(HexListing::CharColumn)) <= 2);
        QVERIFY(form.Label1->geometry().bottom() <= form.TextDisplay->y());
    }

    void okHasTheFocusAndCloses()
    {
        TEditForm form(m_buffer, m_selection);
        int focusOnOk = 0;
        QTimer poll;
        poll.setInterval(10);
        connect(&poll, &QTimer::timeout, &form, [&] {
            if (QApplication::activeModalWidget() != &form)
                return;
            poll.stop();
            focusOnOk += form.focusWidget() == form.EditOK;
            form.TextDisplay->setFocus();
            QTest::keyClick(form.EditOK, Qt::Key_Space);
        });
        for (int opening = 0; opening < 2; ++opening) {
            poll.start();
            QCOMPARE(form.exec(), int(QDialog::Accepted));
        }
        QCOMPARE(focusOnOk, 2);
        QVERIFY(!form.isVisible());
    }
};

QTEST_MAIN(TestTEditForm)
#include "tst_TEditForm.moc"
