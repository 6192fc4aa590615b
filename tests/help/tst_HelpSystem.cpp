#include "HelpSystem.h"
#include "HelpViewer.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

#include <unistd.h>

namespace {

const QString SourceGuides = QStringLiteral(GUIDE_SOURCE_DIR);

QTextBrowser *browserOf(HelpViewer &v)
{
    return v.findChild<QTextBrowser *>("HelpBrowser");
}

QString shownText(HelpViewer &v)
{
    return browserOf(v)->toPlainText();
}

QByteArray guide(const char *marker)
{
    return QByteArray("<html><head><meta charset=\"utf-8\"><title>T</title></head><body><p>") + marker
        + "</p></body></html>";
}

// Keeps the order of the requests a help jump makes.
class RecordingDisplay : public HelpDisplay
{
public:
    bool contentsResult = true;
    QStringList calls;
    bool showContents(const HelpGuide &g) override
    {
        calls << QStringLiteral("contents ") + g.helpFile;
        return contentsResult;
    }
    bool showTopic(const QString &topic) override
    {
        calls << QStringLiteral("topic [") + topic + QLatin1Char(']');
        return true;
    }
};

class CurrentDir
{
public:
    explicit CurrentDir(const QString &dir) : m_old(QDir::currentPath()) { QDir::setCurrent(dir); }
    ~CurrentDir() { QDir::setCurrent(m_old); }

private:
    QString m_old;
};

} // namespace

class TestHelpSystem : public QObject
{
    Q_OBJECT

private slots:
    void englishAfterThaiStaysEnglish();
    void jumpAsksContentsThenEmptyTopic();
    void topOfContentsAndTopics();
    void lookUpOrderAndBareNames();
    void missingGuideIsShownByTheViewer();
    void unreadableGuideIsShownByTheViewer();
    void guidesAreCopiedToTheBuild();
    void guidesCarryTheProgramsTexts();
    void thaiGuideScreenshot();
};

void TestHelpSystem::englishAfterThaiStaysEnglish()
{
    HelpViewer viewer;
    HelpSystem help(viewer);
    help.showThaiHelp();
    QCOMPARE(help.helpFile(), QStringLiteral("TarvoHelpThai.HLP"));
    QVERIFY(viewer.isVisible());
    QVERIFY(viewer.currentGuide().endsWith(QStringLiteral("TarvoHelpThai.html")));
    QVERIFY(shownText(viewer).contains(QStringLiteral("เครื่องโปรแกรม")));

    help.showEnglishHelp();
    QCOMPARE(help.helpFile(), QStringLiteral("TarvoHelpEnglish.HLP"));
    QVERIFY(viewer.currentGuide().endsWith(QStringLiteral("TarvoHelpEnglish.html")));
    QVERIFY(shownText(viewer).contains(QStringLiteral("Connecting the programmer")));
    QVERIFY(!shownText(viewer).contains(QStringLiteral("เครื่องโปรแกรม")));

    // A later jump still uses the English file.
    QVERIFY(help.helpJump(QString()));
    QCOMPARE(help.helpFile(), QStringLiteral("TarvoHelpEnglish.HLP"));
    QVERIFY(viewer.currentGuide().endsWith(QStringLiteral("TarvoHelpEnglish.html")));
}

void TestHelpSystem::jumpAsksContentsThenEmptyTopic()
{
    RecordingDisplay display;
    HelpSystem help(display, {});
    help.showThaiHelp();
    QCOMPARE(display.calls, (QStringList{"contents TarvoHelpThai.HLP", "topic []"}));

    display.calls.clear();
    display.contentsResult = false;
    help.showEnglishHelp();
    QCOMPARE(display.calls, QStringList{"contents TarvoHelpEnglish.HLP"});
    QCOMPARE(help.helpFile(), QStringLiteral("TarvoHelpEnglish.HLP"));
}

void TestHelpSystem::topOfContentsAndTopics()
{
    HelpViewer viewer;
    HelpSystem help(viewer, {SourceGuides});
    help.showEnglishHelp();
    QTextBrowser *browser = browserOf(viewer);
    QScrollBar *bar = browser->verticalScrollBar();
    QVERIFY(bar->maximum() > 0);

    QVERIFY(viewer.showTopic(QStringLiteral("device-menu")));
    QVERIFY(bar->value() > 0);
    QVERIFY(!viewer.showTopic(QStringLiteral("no-such-topic")));
    QVERIFY(help.helpJump(QString()));
    QCOMPARE(bar->value(), 0);

    // The Contents button returns to the top of the guide.
    viewer.showTopic(QStringLiteral("device-menu"));
    QTest::mouseClick(viewer.findChild<QPushButton *>("HelpContents"), Qt::LeftButton);
    QCOMPARE(bar->value(), 0);
}

void TestHelpSystem::lookUpOrderAndBareNames()
{
    QTemporaryDir first, second, work;
    QVERIFY(writeFile(first.filePath("TarvoHelpThai.html"), guide("first")));
    QVERIFY(writeFile(second.filePath("TarvoHelpThai.html"), guide("second")));
    QVERIFY(writeFile(second.filePath("TarvoHelpEnglish.html"), guide("second english")));
    QVERIFY(writeFile(work.filePath("TarvoHelpEnglish.html"), guide("current")));

    RecordingDisplay display;
    HelpSystem help(display, {QStringLiteral("."), first.path(), second.path()});
    {
        CurrentDir cd(work.path());
        QCOMPARE(help.lookUp("TarvoHelpEnglish.HLP").path, QDir(work.path()).filePath("TarvoHelpEnglish.html"));
        QCOMPARE(help.lookUp("TarvoHelpThai.HLP").path, QDir(first.path()).filePath("TarvoHelpThai.html"));
    }
    // "." follows the current directory at the time of the request.
    CurrentDir cd(first.path());
    const HelpGuide english = help.lookUp("TarvoHelpEnglish.HLP");
    QCOMPARE(english.path, QDir(second.path()).filePath("TarvoHelpEnglish.html"));
    QCOMPARE(english.searched.first(), QDir::currentPath());

    QCOMPARE(HelpSystem::guideFileName("TarvoHelpThai.HLP"), QStringLiteral("TarvoHelpThai.html"));
    for (const char *name : {"../guides/TarvoHelpThai.HLP", "sub\\TarvoHelpThai.HLP", ""})
        QVERIFY2(help.lookUp(QString::fromLatin1(name)).path.isEmpty(), name);
}

void TestHelpSystem::missingGuideIsShownByTheViewer()
{
    QTemporaryDir empty;
    HelpViewer viewer;
    HelpSystem help(viewer, {empty.path()});
    help.showThaiHelp();
    QCOMPARE(help.helpFile(), QStringLiteral("TarvoHelpThai.HLP"));
    QVERIFY(viewer.isVisible());
    QVERIFY(viewer.currentGuide().isEmpty());
    QVERIFY(shownText(viewer).contains(QStringLiteral("Help file TarvoHelpThai.HLP not found.")));
    QVERIFY(shownText(viewer).contains(empty.path()));
    QVERIFY(!viewer.showTopic(QString()));

    // A guide that appears later is found by the next request.
    QVERIFY(writeFile(QDir(empty.path()).filePath("TarvoHelpThai.html"), guide("arrived")));
    help.showThaiHelp();
    QVERIFY(shownText(viewer).contains(QStringLiteral("arrived")));
    QVERIFY(!shownText(viewer).contains(QStringLiteral("not found")));
}

void TestHelpSystem::unreadableGuideIsShownByTheViewer()
{
    if (geteuid() == 0)
        QSKIP("root reads files without read permission");
    QTemporaryDir dir;
    const QString path = dir.filePath("TarvoHelpEnglish.html");
    QVERIFY(writeFile(path, guide("secret")));
    QFile::setPermissions(path, QFileDevice::Permissions());
    HelpViewer viewer;
    HelpSystem help(viewer, {dir.path()});
    help.showEnglishHelp();
    QVERIFY(shownText(viewer).contains(QStringLiteral("Help file TarvoHelpEnglish.HLP cannot be read.")));
    QVERIFY(viewer.currentGuide().isEmpty());
}

void TestHelpSystem::guidesAreCopiedToTheBuild()
{
    for (const char *name : {"TarvoHelpThai.html", "TarvoHelpEnglish.html"}) {
        QFile source(QDir(SourceGuides).filePath(name)), built(QDir(QStringLiteral(GUIDE_BUILD_DIR)).filePath(name));
        QVERIFY2(source.open(QIODevice::ReadOnly), name);
        QVERIFY2(built.open(QIODevice::ReadOnly), name);
        QCOMPARE(built.readAll(), source.readAll());
    }
}

void TestHelpSystem::guidesCarryTheProgramsTexts()
{
    // Texts the operator reads on the window; a guide that spells them
    // differently sends the reader looking for something that never shows.
    const QStringList texts{
        "Search Hardware On Com", "Hardware Not Found", "Comport Not Found", "Comport Not Connect",
        "This Device Not Support on Bios :", "End Buffer Over End Device", "Open File Error!!!",
        "Format Intel-Hex...Error", "Do you want to Stop Command..?", "Command......Abort",
        "Erase.....Time-Out", "Erase.........Fail", "Erase........Error", "Erase.........Pass",
        "Blank.....Time-Out", "Blank.........Fail", "Blank Check..Error", "Blank.........Pass",
        "Lock1,2,3.Time-Out", "Lock1,2,3.....Fail", "Lock1,2,3....Error", "Lock1,2,3.....Pass",
        "Program...Time-Out", "Program......Break", "Program..Fail:", "Program......Error", "Program.......Pass",
        "Verify....Time-Out", "Verify.......Break", "Verify...Fail:", "Verify.......Error", "Verify........Pass",
        "Read......Time-Out", "Read.........Break", "Read.........Error", "ReadChecksum Error", "Read..........Pass",
        "Lock......Time-Out", "Lock..........Fail", "Lock.........Error", "Auto Program..Pass",
        "Read Fuse Time-Out", "Read Lock Time-Out", "Read Fuse Error", "Program Fuse Time-Out",
        "Program Fuse Error", "Verify Fuse Error", "Write Fuse Error", "Can Not Read Fuse", "Not Fuse on Device",
        "TARVO_COM1", "/dev/ttyS0", "sudo usermod -aG dialout $USER", "tarvo-emu", "scripts/run",
        "Checksum Or Format Error In Line 12", "Checksum Or Format Error In 3 Lines, First In Line 12",
        "No space left on device", "File too large", "tarvo-cli --port", "SIGHUP",
    };
    for (const char *name : {"TarvoHelpThai.html", "TarvoHelpEnglish.html"}) {
        QFile f(QDir(SourceGuides).filePath(name));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QTextDocument doc;
        doc.setHtml(QString::fromUtf8(f.readAll()));
        const QString text = doc.toPlainText();
        for (const QString &t : texts)
            QVERIFY2(text.contains(t), qPrintable(QStringLiteral("%1 lacks %2").arg(name, t)));
    }
}

void TestHelpSystem::thaiGuideScreenshot()
{
    bool thaiFont = false;
    for (const char *family : {"Loma", "Garuda", "Norasi", "Kinnari"})
        thaiFont = thaiFont || QFontDatabase::writingSystems(family).contains(QFontDatabase::Thai);
    QVERIFY2(thaiFont, "no Thai font of the guide's list is installed (fonts-thai-tlwg)");

    QFile f(QDir(SourceGuides).filePath("TarvoHelpThai.html"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(f.readAll());
    QVERIFY(html.contains(QRegularExpression("<meta charset=\"utf-8\"", QRegularExpression::CaseInsensitiveOption)));
    QVERIFY(html.contains(QStringLiteral("lang=\"th\"")));

    HelpViewer viewer;
    HelpSystem help(viewer, {SourceGuides});
    help.showThaiHelp();
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));
    const QImage shot = viewer.grab().toImage();
    QVERIFY(!shot.isNull());
    const QString path = QDir::temp().filePath(QStringLiteral("tarvo-help-thai.png"));
    QVERIFY(shot.save(path));
    qInfo("Thai guide screenshot: %s", qPrintable(path));
}

QTEST_MAIN(TestHelpSystem)
#include "tst_HelpSystem.moc"
