#include "TAdapterForm.h"

#include "HelpPictures.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLabel *picture(QWidget *parent, const char *name, const QPixmap &pm, const QString &title,
                const QString &description)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setAccessibleName(title);
    label->setAccessibleDescription(description);
    label->setPixmap(pm);
    label->setFixedSize(pm.size());
    return label;
}

QLabel *boldLabel(QWidget *parent, const char *name, const QString &text)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    QFont f = label->font();
    f.setBold(true);
    label->setFont(f);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    return label;
}

} // namespace

TAdapterForm::TAdapterForm(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("AdapterForm"));
    setWindowTitle(QStringLiteral("This Device Used With Adapter AT90S8535"));
    setModal(true);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);

    Image1 = picture(Panel1, "Image1", HelpPictures::adapterBoard(), QStringLiteral("Adapter"),
                     QStringLiteral("A small board carrying a 40-pin zero-insertion-force socket"));
    Image2 = picture(Panel1, "Image2", HelpPictures::programmerWithAdapter(), QStringLiteral("Programmer with adapter"),
                     QStringLiteral("The programmer with the adapter fitted and a 40-pin device in it"));
    Label1 = boldLabel(Panel1, "Label1", QStringLiteral("Insert Adapter"));
    Label2 = boldLabel(Panel1, "Label2", QStringLiteral("AT90S8535"));

    auto *left = new QVBoxLayout;
    left->addWidget(Image1);
    left->addSpacing(8);
    left->addWidget(Label1);
    left->addWidget(Label2);
    left->addStretch();
    auto *panel = new QHBoxLayout(Panel1);
    panel->setContentsMargins(10, 10, 10, 10);
    panel->setSpacing(12);
    panel->addLayout(left);
    panel->addWidget(Image2, 0, Qt::AlignTop);

    OKAdapter = new QPushButton(QStringLiteral("OK"), this);
    OKAdapter->setObjectName(QStringLiteral("OKAdapter"));
    OKAdapter->setDefault(true);
    connect(OKAdapter, &QPushButton::clicked, this, &TAdapterForm::OKAdapterClick);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKAdapter);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Panel1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TAdapterForm::OKAdapterClick()
{
    accept();
}
