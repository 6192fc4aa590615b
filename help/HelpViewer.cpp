#include "HelpViewer.h"

#include <QFile>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QAccessibleWidget>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>
#include <QVBoxLayout>

namespace {

const char *const ViewerTitle = "Tarvo Help";

bool documentHasAnchor(const QTextDocument *doc, const QString &name)
{
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        if (block.charFormat().anchorNames().contains(name))
            return true;
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().anchorNames().contains(name))
                return true;
    }
    return false;
}

} // namespace

// A top-level QWidget is a "client" area to assistive technology; the
// viewer is a window of its own.
static QAccessibleInterface *viewerAccessible(const QString &key, QObject *object)
{
    if (key == QLatin1String("HelpViewer") && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Window);
    return nullptr;
}

HelpViewer::HelpViewer(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_browser(new QTextBrowser(this))
    , m_contents(new QPushButton(tr("Contents"), this))
    , m_back(new QPushButton(tr("Back"), this))
{
    setObjectName(QStringLiteral("HelpViewer"));
    static const bool factory = [] {
        QAccessible::installFactory(viewerAccessible);
        return true;
    }();
    Q_UNUSED(factory);
    setWindowTitle(QString::fromLatin1(ViewerTitle));
    m_browser->setObjectName(QStringLiteral("HelpBrowser"));
    // The window's own name is its title, which follows the guide on view.
    m_browser->setAccessibleName(tr("Help page"));
    m_browser->setOpenExternalLinks(true);
    m_contents->setObjectName(QStringLiteral("HelpContents"));
    m_back->setObjectName(QStringLiteral("HelpBack"));
    auto *close = new QPushButton(tr("Close"), this);
    close->setObjectName(QStringLiteral("HelpClose"));

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_contents);
    buttons->addWidget(m_back);
    buttons->addStretch();
    buttons->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(m_browser);
    resize(680, 540);

    m_back->setEnabled(false);
    m_contents->setEnabled(false);
    connect(m_browser, &QTextBrowser::backwardAvailable, m_back, &QWidget::setEnabled);
    connect(m_back, &QPushButton::clicked, m_browser, &QTextBrowser::backward);
    connect(m_contents, &QPushButton::clicked, this, [this] {
        m_browser->home();
        m_browser->verticalScrollBar()->setValue(0);
    });
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    connect(m_browser, &QTextBrowser::sourceChanged, this, [this] {
        const QString title = m_browser->documentTitle();
        setWindowTitle(title.isEmpty() ? QString::fromLatin1(ViewerTitle) : title);
    });
}

bool HelpViewer::showContents(const HelpGuide &guide)
{
    m_guidePath.clear();
    if (guide.path.isEmpty()) {
        showMessage(missingText(guide.helpFile), tr("Looked in:"), guide.searched);
        return false;
    }
    // QTextBrowser shows an empty page for a file it cannot read; tell the
    // reader why instead.
    QFile probe(guide.path);
    if (!probe.open(QIODevice::ReadOnly)) {
        showMessage(unreadableText(guide.helpFile), QString(),
                    {guide.path + QStringLiteral(": ") + probe.errorString()});
        return false;
    }
    probe.close();

    m_browser->setSource(QUrl::fromLocalFile(guide.path), QTextDocument::HtmlResource);
    m_browser->clearHistory();
    m_contents->setEnabled(true);
    m_guidePath = guide.path;
    present();
    return true;
}

bool HelpViewer::showTopic(const QString &topic)
{
    if (m_guidePath.isEmpty())
        return false;
    if (topic.isEmpty()) {
        m_browser->verticalScrollBar()->setValue(0);
        return true;
    }
    if (!documentHasAnchor(m_browser->document(), topic))
        return false;
    m_browser->scrollToAnchor(topic);
    return true;
}

QString HelpViewer::missingText(const QString &helpFile)
{
    return tr("Help file %1 not found.").arg(helpFile);
}

QString HelpViewer::unreadableText(const QString &helpFile)
{
    return tr("Help file %1 cannot be read.").arg(helpFile);
}

void HelpViewer::showMessage(const QString &text, const QString &heading, const QStringList &details)
{
    QString html = QStringLiteral("<p><b>%1</b></p>").arg(text.toHtmlEscaped());
    if (!details.isEmpty()) {
        if (!heading.isEmpty())
            html += QStringLiteral("<p>%1</p>").arg(heading.toHtmlEscaped());
        html += QStringLiteral("<ul>");
        for (const QString &d : details)
            html += QStringLiteral("<li>%1</li>").arg(d.toHtmlEscaped());
        html += QStringLiteral("</ul>");
    }
    m_browser->clearHistory();
    m_browser->setSource(QUrl());
    m_browser->setHtml(html);
    m_contents->setEnabled(false);
    setWindowTitle(QString::fromLatin1(ViewerTitle));
    present();
}

void HelpViewer::present()
{
    show();
    raise();
    activateWindow();
}
