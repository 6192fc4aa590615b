// The dashboard's page in headless Chromium, as a supervisor's browser
// shows it: signed in through /login, hostile names shown as text (no
// script of theirs runs, no element of theirs appears), a new record on
// the page within 2 s, and no sideways scrolling at 1366x768 nor on a phone.
#include "DevToolsPage.h"
#include "LineFixture.h"
#include "LineProcess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString Hostile = QStringLiteral("<img src=x onerror=\"window.pwned=1\"><script>window.pwned=2</script>'\"&amp;");
const QString Thai = QStringLiteral("สายการผลิต ๒");
const QByteArray Token = "line-page-token-0123456789";

// A JavaScript string literal of text.
QString literal(const QString &text)
{
    return QString::fromUtf8(QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact)).mid(1).chopped(1);
}

} // namespace

class tst_LinePage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void hostileNamesAreText();
    void newRecordShowsWithinTwoSeconds();
    void fitsScreens_data();
    void fitsScreens();

private:
    bool openPage(DevToolsPage &page, int width = 1366, int height = 768);
    QTemporaryDir m_dir;
    std::unique_ptr<LineFixture> m_line;
    LineProcess m_server;
};

void tst_LinePage::initTestCase()
{
    m_line = std::make_unique<LineFixture>(m_dir.filePath(QStringLiteral("line.db")));
    QString error;
    QVERIFY2(m_line->open(&error), qPrintable(error));
    LineFixture::Device d;
    d.host = Hostile;
    d.job = Thai;
    d.lot = Hostile;
    d.failedStep = QStringLiteral("verify");
    QVERIFY2(m_line->add(d, &error), qPrintable(error));
    BenchRow row;
    row.host = Hostile;
    row.portEntry = QStringLiteral("Com1");
    row.state = QStringLiteral("failed");
    row.job = Thai;
    row.lot = Hostile;
    row.step = QStringLiteral("verify");
    row.text = Hostile;
    QVERIFY2(m_line->setBench(row, &error), qPrintable(error));
    QVERIFY2(m_line->retire(Hostile, Hostile, &error), qPrintable(error));
    const QString tokenFile = m_dir.filePath(QStringLiteral("token"));
    QFile file(tokenFile);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(Token);
    file.close();
    QVERIFY2(m_server.start({QStringLiteral("--db"), m_dir.filePath(QStringLiteral("line.db")), QStringLiteral("--listen"),
                             QStringLiteral("127.0.0.1:0"), QStringLiteral("--token-file"), tokenFile}, &error),
             qPrintable(error));
}

bool tst_LinePage::openPage(DevToolsPage &page, int width, int height)
{
    QString error;
    if (!page.open(m_server.url() + QStringLiteral("/login?token=") + QString::fromLatin1(Token), &error, width, height)) {
        qWarning("%s", qPrintable(error));
        return false;
    }
    // Signed in, sent on to the page, and the script has filled it once.
    return page.waitUntil(QStringLiteral("location.pathname === '/' && document.body && Number(document.body.dataset.polls) >= 1"),
                          20000) >= 0;
}

void tst_LinePage::hostileNamesAreText()
{
    DevToolsPage page;
    QVERIFY(openPage(page));
    QCOMPARE(page.evaluate(QStringLiteral("typeof window.pwned")).toString(), QStringLiteral("undefined"));
    QCOMPARE(page.evaluate(QStringLiteral("document.querySelectorAll('script').length")).toInt(), 1);
    QCOMPARE(page.evaluate(QStringLiteral("document.querySelectorAll('main img').length")).toInt(), 1);
    QCOMPARE(page.evaluate(QStringLiteral("document.querySelector('.tile .host').textContent")).toString(), Hostile);
    QCOMPARE(page.evaluate(QStringLiteral("document.querySelector('.tile .failure').textContent")).toString(), Hostile);
    QCOMPARE(page.evaluate(QStringLiteral("document.querySelector('.tile .job').textContent")).toString(), Thai);
    QVERIFY(page.evaluate(QStringLiteral("document.getElementById('records').textContent.includes(%1)").arg(literal(Hostile))).toBool());
    QVERIFY(page.evaluate(QStringLiteral("document.getElementById('retired').textContent.includes(%1)").arg(literal(Hostile))).toBool());
    // The state in words beside its colour.
    QCOMPARE(page.evaluate(QStringLiteral("document.querySelector('.tile .words').textContent")).toString(), QStringLiteral("Failed at verify"));
    // The chart came from the server and loaded.
    QVERIFY(page.waitUntil(QStringLiteral("document.getElementById('chart').complete && document.getElementById('chart').naturalWidth > 0"), 10000) >= 0);
}

void tst_LinePage::newRecordShowsWithinTwoSeconds()
{
    DevToolsPage page;
    QVERIFY(openPage(page));
    const QString shows = QStringLiteral("document.getElementById('records').textContent.includes('987654321')");
    QVERIFY(!page.evaluate(shows).toBool());
    LineFixture::Device d;
    d.serial = 987654321;
    QString error;
    QVERIFY2(m_line->add(d, &error), qPrintable(error));
    const qint64 ms = page.waitUntil(shows, 2000);
    QVERIFY2(ms >= 0, "the record did not show within 2 s");
    qInfo("the record showed after %lld ms", ms);
}

void tst_LinePage::fitsScreens_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::newRow("1366x768") << 1366 << 768;
    QTest::newRow("phone") << 390 << 844;
}

void tst_LinePage::fitsScreens()
{
    QFETCH(int, width);
    QFETCH(int, height);
    DevToolsPage page;
    QVERIFY(openPage(page, width, height));
    // Nothing wider than the window: no sideways scrolling.
    QVERIFY2(page.evaluate(QStringLiteral("document.documentElement.scrollWidth <= window.innerWidth")).toBool(),
             qPrintable(page.evaluate(QStringLiteral("document.documentElement.scrollWidth + ' > ' + window.innerWidth")).toString()));
}

QTEST_GUILESS_MAIN(tst_LinePage)
#include "tst_LinePage.moc"
