#include "TAboutBox.h"
#include "TAdapterForm.h"
#include "HelpViewer.h"

#include <QAccessible>
#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSet>
#include <QTest>

#include <functional>

namespace {

QRect geometryIn(const QWidget *w, const QWidget *ancestor)
{
    return QRect(w->mapTo(ancestor, QPoint(0, 0)), w->size());
}

// A drawn picture has many colours; an empty or failed one has one or two.
int distinctColours(const QPixmap &pm)
{
    const QImage img = pm.toImage();
    QSet<QRgb> colours;
    for (int y = 0; y < img.height(); y += 2)
        for (int x = 0; x < img.width(); x += 2)
            colours.insert(img.pixel(x, y));
    return int(colours.size());
}

void checkFixedDialogWithCloseBoxOnly(QDialog &d)
{
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    QCOMPARE(d.minimumSize(), d.maximumSize());
    const Qt::WindowFlags f = d.windowFlags();
    QVERIFY(f & Qt::WindowCloseButtonHint);
    QVERIFY(!(f & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(f & Qt::WindowMaximizeButtonHint));
    QVERIFY(!(f & Qt::WindowContextHelpButtonHint));
}

} // namespace

class TestHelpDialogs : public QObject
{
    Q_OBJECT

private slots:
    void adapterContentAndLayout();
    void adapterClosesByOkEachTime();
    void aboutContentAndFonts();
    void aboutLayout();
    void aboutStartsOnOkAndEveryCloseIsOk();
    void everyPartHasAName();
};

void TestHelpDialogs::adapterContentAndLayout()
{
    TAdapterForm form;
    QCOMPARE(form.windowTitle(), QStringLiteral("This Device Used With Adapter AT90S8535"));
    checkFixedDialogWithCloseBoxOnly(form);

    auto *panel = form.findChild<QFrame *>("Panel1");
    auto *image1 = form.findChild<QLabel *>("Image1");
    auto *image2 = form.findChild<QLabel *>("Image2");
    auto *label1 = form.findChild<QLabel *>("Label1");
    auto *label2 = form.findChild<QLabel *>("Label2");
    auto *ok = form.findChild<QPushButton *>("OKAdapter");
    QVERIFY(panel && image1 && image2 && label1 && label2 && ok);
    QCOMPARE(panel->frameShape(), QFrame::Panel);
    QCOMPARE(panel->frameShadow(), QFrame::Sunken);
    for (QLabel *l : {image1, image2, label1, label2})
        QCOMPARE(l->parentWidget(), panel);

    QCOMPARE(image1->pixmap().size(), QSize(150, 107));
    QCOMPARE(image1->size(), QSize(150, 107));
    QCOMPARE(image2->pixmap().size(), QSize(280, 205));
    QCOMPARE(image2->size(), QSize(280, 205));
    QVERIFY(distinctColours(image1->pixmap()) > 20);
    QVERIFY(distinctColours(image2->pixmap()) > 20);

    QCOMPARE(label1->text(), QStringLiteral("Insert Adapter"));
    QCOMPARE(label2->text(), QStringLiteral("AT90S8535"));
    QVERIFY(label1->font().bold() && label2->font().bold());
    QCOMPARE(ok->text(), QStringLiteral("OK"));

    const QRect i1 = geometryIn(image1, &form), i2 = geometryIn(image2, &form);
    const QRect l1 = geometryIn(label1, &form), l2 = geometryIn(label2, &form);
    QVERIFY(i1.right() < i2.left());
    QVERIFY(l1.top() > i1.bottom());
    QVERIFY(l2.top() > l1.bottom());
    QVERIFY(l1.right() < i2.left());
    QVERIFY(geometryIn(ok, &form).top() > geometryIn(panel, &form).bottom());
    // Nothing is cut off: the labels get the width their text needs.
    QVERIFY(label1->width() >= label1->sizeHint().width());
}

void TestHelpDialogs::adapterClosesByOkEachTime()
{
    TAdapterForm form;
    auto *ok = form.findChild<QPushButton *>("OKAdapter");
    for (int i = 0; i < 2; ++i) {
        form.open();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(form.isVisible());
        QTest::mouseClick(ok, Qt::LeftButton);
        QVERIFY(!form.isVisible());
        QCOMPARE(form.result(), int(QDialog::Accepted));
    }
}

void TestHelpDialogs::aboutContentAndFonts()
{
    TAboutBox box;
    QCOMPARE(box.windowTitle(), QStringLiteral("About Tarvo V3.03"));
    checkFixedDialogWithCloseBoxOnly(box);

    auto label = [&](const char *name) { return box.findChild<QLabel *>(name); };
    QCOMPARE(label("Label10")->text(), QStringLiteral(" Micro Controller Programmer "));
    QCOMPARE(label("Label9")->text(), QStringLiteral("Tarvo V3.03"));

    const char *bold[] = {"Label10", "Label9", "Label11"};
    const char *rightColumn[] = {"Label1", "Label5", "Label6", "Label7"};
    const char *leftColumn[] = {"Label8", "Label2", "Label3", "Label4"};
    for (const char *n : bold) {
        QVERIFY2(label(n)->font().bold(), n);
        QVERIFY2(label(n)->alignment() & Qt::AlignRight, n);
    }
    for (const char *n : rightColumn) {
        QVERIFY2(!label(n)->text().isEmpty(), n);
        QVERIFY2(label(n)->alignment() & Qt::AlignRight, n);
    }
    for (const char *n : leftColumn)
        QVERIFY2(!label(n)->text().isEmpty(), n);

    int textLabels = 0;
    for (QLabel *l : box.findChildren<QLabel *>()) {
        if (l->objectName() == QLatin1String("ProgramIcon"))
            continue;
        ++textLabels;
        QCOMPARE(l->font().family(), QStringLiteral("Courier"));
        QVERIFY2(l->width() >= l->sizeHint().width(), qPrintable(l->objectName()));
    }
    QCOMPARE(textLabels, 11);
}

void TestHelpDialogs::aboutLayout()
{
    TAboutBox box;
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    auto *panel = box.findChild<QFrame *>("Panel1");
    auto *icon = box.findChild<QLabel *>("ProgramIcon");
    QCOMPARE(panel->frameShadow(), QFrame::Sunken);
    QCOMPARE(icon->size(), QSize(121, 80));
    QCOMPARE(icon->pixmap().size(), QSize(121, 80));
    QVERIFY(distinctColours(icon->pixmap()) > 20);

    auto at = [&](const char *name) { return geometryIn(box.findChild<QLabel *>(name), panel); };
    const QRect i = geometryIn(icon, panel);
    QVERIFY(i.left() < 20 && i.top() < 20);
    QVERIFY(at("Label10").left() > i.right());
    QVERIFY(at("Label9").top() > at("Label10").bottom() - 1);
    QVERIFY(at("Label11").top() > at("Label9").bottom() - 1);
    const char *left[] = {"Label8", "Label2", "Label3", "Label4"};
    const char *right[] = {"Label1", "Label5", "Label6", "Label7"};
    int leftTop = i.bottom(), rightTop = at("Label11").bottom();
    for (int k = 0; k < 4; ++k) {
        QVERIFY(at(left[k]).top() > leftTop);
        QVERIFY(at(right[k]).top() > rightTop);
        QVERIFY(at(right[k]).left() > at(left[k]).left());
        // Right-aligned lines end at the same edge.
        QCOMPARE(at(right[k]).right(), at("Label10").right());
        leftTop = at(left[k]).top();
        rightTop = at(right[k]).top();
    }
    const QPoint screenCentre = box.screen()->availableGeometry().center();
    QVERIFY((box.frameGeometry().center() - screenCentre).manhattanLength() <= 2);
}

void TestHelpDialogs::aboutStartsOnOkAndEveryCloseIsOk()
{
    TAboutBox box;
    auto *ok = box.findChild<QPushButton *>("OKHelp");
    QCOMPARE(ok->text(), QStringLiteral("OK"));
    QVERIFY(ok->isDefault());

    const std::function<void()> closers[] = {
        [&] { QTest::keyClick(&box, Qt::Key_Return); },
        [&] { QTest::keyClick(&box, Qt::Key_Escape); },
        [&] { box.close(); },
        [&] { QTest::mouseClick(ok, Qt::LeftButton); },
    };
    for (const auto &close : closers) {
        box.setResult(-1);
        box.open();
        QVERIFY(QTest::qWaitForWindowActive(&box));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(ok));
        close();
        QVERIFY(!box.isVisible());
        QCOMPARE(box.result(), int(QDialog::Accepted));
    }
}

// Every window, control and picture has a name for assistive technology,
// unique within its window; pictures say what they show.
void TestHelpDialogs::everyPartHasAName()
{
    TAboutBox about;
    TAdapterForm adapter;
    HelpViewer viewer;
    const auto text = [](QObject *o, QAccessible::Text t) { return QAccessible::queryAccessibleInterface(o)->text(t); };
    for (QWidget *window : std::initializer_list<QWidget *>{&about, &adapter, &viewer}) {
        QVERIFY(!text(window, QAccessible::Name).isEmpty());
        QStringList names;
        for (QWidget *w : window->findChildren<QWidget *>()) {
            auto *label = qobject_cast<QLabel *>(w);
            if (!label && !w->focusPolicy())
                continue;
            if (label && label->pixmap().isNull() && label->text().isEmpty())
                continue;
            const QString name = text(w, QAccessible::Name);
            QVERIFY2(!name.isEmpty() && !names.contains(name), qPrintable(w->objectName() + ": " + name));
            names << name;
            if (label && !label->pixmap().isNull())
                QVERIFY2(!text(w, QAccessible::Description).isEmpty(), qPrintable(w->objectName()));
        }
    }
}

QTEST_MAIN(TestHelpDialogs)
#include "tst_HelpDialogs.moc"
