#include "HelpSystem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

const QString HelpSystem::ThaiHelpFile = QStringLiteral("TarvoHelpThai.HLP");
const QString HelpSystem::EnglishHelpFile = QStringLiteral("TarvoHelpEnglish.HLP");

HelpSystem::HelpSystem(HelpDisplay &display)
    : HelpSystem(display, defaultGuideDirectories())
{
}

HelpSystem::HelpSystem(HelpDisplay &display, QStringList guideDirectories)
    : m_display(display)
    , m_directories(std::move(guideDirectories))
{
}

void HelpSystem::showThaiHelp()
{
    setHelpFile(ThaiHelpFile);
    helpJump(QString());
}

void HelpSystem::showEnglishHelp()
{
    setHelpFile(EnglishHelpFile);
    helpJump(QString());
}

bool HelpSystem::helpJump(const QString &topic)
{
    if (!m_display.showContents(lookUp(m_helpFile)))
        return false;
    return m_display.showTopic(topic);
}

HelpGuide HelpSystem::lookUp(const QString &helpFile) const
{
    HelpGuide guide;
    guide.helpFile = helpFile;
    const QString name = guideFileName(helpFile);
    if (name.isEmpty())
        return guide;
    for (const QString &dir : m_directories) {
        // "." stays relative so that it means the current directory at the
        // time of the request, not at start-up.
        const QString folder = dir == QLatin1String(".") ? QDir::currentPath() : QDir::cleanPath(dir);
        guide.searched << folder;
        const QFileInfo file(QDir(folder), name);
        if (file.isFile()) {
            guide.path = file.absoluteFilePath();
            break;
        }
    }
    return guide;
}

QStringList HelpSystem::defaultGuideDirectories()
{
    return guideDirectoriesFor(QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QString());
}

QStringList HelpSystem::guideDirectoriesFor(const QString &programFolder)
{
    QStringList dirs{QStringLiteral(".")};
    if (!programFolder.isEmpty()) {
        dirs << programFolder << programFolder + QStringLiteral("/../help/guides");
#ifdef TARVO_GUIDE_INSTALL_DIR_FROM_BIN
        dirs << programFolder + QStringLiteral("/" TARVO_GUIDE_INSTALL_DIR_FROM_BIN);
#endif
    }
    dirs.removeDuplicates();
    return dirs;
}

QString HelpSystem::guideFileName(const QString &helpFile)
{
    // Only the bare name counts: a directory part would let the request
    // reach outside the guide folders.
    const QString base = QFileInfo(helpFile).completeBaseName();
    if (base.isEmpty() || helpFile.contains(QLatin1Char('/')) || helpFile.contains(QLatin1Char('\\')))
        return QString();
    return base + QStringLiteral(".html");
}
