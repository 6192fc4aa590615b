#pragma once

#include "HelpDisplay.h"

#include <QWidget>

class QPushButton;
class QTextBrowser;

// The program's help window: one guide at a time in a text browser, opened
// at its contents page. A guide that cannot be shown is reported in the
// browser itself.
class HelpViewer : public QWidget, public HelpDisplay
{
    Q_OBJECT

public:
    explicit HelpViewer(QWidget *parent = nullptr);

    bool showContents(const HelpGuide &guide) override;
    bool showTopic(const QString &topic) override;

    // The guide on view; empty after a failed request.
    QString currentGuide() const { return m_guidePath; }

    static QString missingText(const QString &helpFile);
    static QString unreadableText(const QString &helpFile);

private:
    void showMessage(const QString &text, const QString &heading, const QStringList &details);
    void present();

    QTextBrowser *m_browser;
    QPushButton *m_contents;
    QPushButton *m_back;
    QString m_guidePath;
};
