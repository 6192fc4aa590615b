#pragma once

#include <QString>
#include <QStringList>

#include "HelpDisplay.h"

// The application's help file and the help requests of the Help menu. Help
// files are named bare, as "TarvoHelpThai.HLP"; each maps to an HTML guide of
// the same base name looked for in a list of folders.
class HelpSystem
{
public:
    static const QString ThaiHelpFile;
    static const QString EnglishHelpFile;

    explicit HelpSystem(HelpDisplay &display);
    HelpSystem(HelpDisplay &display, QStringList guideDirectories);

    QString helpFile() const { return m_helpFile; }
    void setHelpFile(const QString &name) { m_helpFile = name; }

    // "Tarvo Help Thai" and "Tarvo Help English": make the file the help
    // file and jump to the top of its contents.
    void showThaiHelp();
    void showEnglishHelp();

    // The contents of the help file first; only when they came up, the topic.
    bool helpJump(const QString &topic);

    HelpGuide lookUp(const QString &helpFile) const;
    QStringList guideDirectories() const { return m_directories; }

    // The current directory ("."), the program's folder, its ../help/guides
    // (the build tree), and the installed guide folder beside its bin folder
    // (<prefix>/share/tarvo/help). No absolute path of the build machine.
    static QStringList defaultGuideDirectories();
    static QStringList guideDirectoriesFor(const QString &programFolder);
    // "TarvoHelpThai.HLP" -> "TarvoHelpThai.html".
    static QString guideFileName(const QString &helpFile);

private:
    HelpDisplay &m_display;
    QStringList m_directories;
    QString m_helpFile;
};
