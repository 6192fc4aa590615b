#include "HelpSystem.h"

#include <QDir>
#include <QTest>

namespace {

class NoDisplay : public HelpDisplay
{
public:
    bool showContents(const HelpGuide &) override { return true; }
    bool showTopic(const QString &) override { return true; }
};

} // namespace

// The help of an installed program finds both guides in the installed tree:
// TARVO_INSTALLED_BIN names the installed program folder (<prefix>/bin).
class TestInstalledHelp : public QObject
{
    Q_OBJECT

private slots:
    void guidesFoundBesideTheInstalledProgram()
    {
        const QString bin = qEnvironmentVariable("TARVO_INSTALLED_BIN");
        QVERIFY2(QFileInfo(bin + QStringLiteral("/tarvo")).isExecutable(), "TARVO_INSTALLED_BIN has no tarvo");
        const QString prefix = QDir::cleanPath(bin + QStringLiteral("/.."));
        // Run from elsewhere, so the current directory finds nothing.
        QVERIFY(QDir::setCurrent(QDir::tempPath()));
        NoDisplay display;
        const HelpSystem help(display, HelpSystem::guideDirectoriesFor(bin));
        for (const QString &file : {HelpSystem::ThaiHelpFile, HelpSystem::EnglishHelpFile}) {
            const HelpGuide guide = help.lookUp(file);
            QVERIFY2(guide.path.startsWith(prefix + QStringLiteral("/share/tarvo/help/")), qPrintable(guide.path));
        }
    }
};

QTEST_GUILESS_MAIN(TestInstalledHelp)
#include "tst_InstalledHelp.moc"
