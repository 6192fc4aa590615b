#include "TAboutBox.h"

#include "HelpPictures.h"
#include "TarvoVersion.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

const QString TAboutBox::ProductName = QStringLiteral(TARVO_PRODUCT_STRING);

namespace {

QLabel *courierLabel(QWidget *parent, const char *name, const QString &text, bool bold, Qt::Alignment align)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    QFont f(QStringLiteral("Courier"));
    f.setPixelSize(13);
    f.setBold(bold);
    label->setFont(f);
    label->setAlignment(align | Qt::AlignVCenter);
    return label;
}

} // namespace

TAboutBox::TAboutBox(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("About ") + ProductName);
    setModal(true);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);

    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setPixmap(HelpPictures::makerLogo());
    ProgramIcon->setFixedSize(121, 80);
    ProgramIcon->setAccessibleName(QStringLiteral("Logo"));
    ProgramIcon->setAccessibleDescription(QStringLiteral("The maker's logo"));

    const Qt::Alignment right = Qt::AlignRight;
    const Qt::Alignment left = Qt::AlignLeft;
    Label10 = courierLabel(Panel1, "Label10", QStringLiteral(" Micro Controller Programmer "), true, right);
    Label9 = courierLabel(Panel1, "Label9", ProductName, true, right);
    Label11 = courierLabel(Panel1, "Label11", QStringLiteral("Designed and made in Thailand"), true, right);
    Label8 = courierLabel(Panel1, "Label8", QStringLiteral("Tarvo Electronics Co., Ltd."), false, left);
    Label2 = courierLabel(Panel1, "Label2", QStringLiteral("99/9 Moo 4, Soi Tarvo 5"), false, left);
    Label3 = courierLabel(Panel1, "Label3", QStringLiteral("Khwaeng Samsen Nok"), false, left);
    Label4 = courierLabel(Panel1, "Label4", QStringLiteral("Bangkok 10310 Thailand"), false, left);
    Label1 = courierLabel(Panel1, "Label1", QStringLiteral("Tel. (02) 555-0101"), false, right);
    Label5 = courierLabel(Panel1, "Label5", QStringLiteral("Tel. (02) 555-0102"), false, right);
    Label6 = courierLabel(Panel1, "Label6", QStringLiteral("Fax. (02) 555-0199"), false, right);
    Label7 = courierLabel(Panel1, "Label7", QStringLiteral("www.tarvo.example.com"), false, right);

    auto *grid = new QGridLayout(Panel1);
    grid->setContentsMargins(10, 10, 10, 10);
    grid->setHorizontalSpacing(24);
    grid->setVerticalSpacing(2);
    grid->addWidget(ProgramIcon, 0, 0, 3, 1, Qt::AlignLeft | Qt::AlignTop);
    grid->addWidget(Label10, 0, 1);
    grid->addWidget(Label9, 1, 1);
    grid->addWidget(Label11, 2, 1);
    grid->setRowMinimumHeight(3, 8);
    QLabel *const leftColumn[] = {Label8, Label2, Label3, Label4};
    QLabel *const rightColumn[] = {Label1, Label5, Label6, Label7};
    for (int i = 0; i < 4; ++i) {
        grid->addWidget(leftColumn[i], 4 + i, 0);
        grid->addWidget(rightColumn[i], 4 + i, 1);
    }

    OKHelp = new QPushButton(QStringLiteral("OK"), this);
    OKHelp->setObjectName(QStringLiteral("OKHelp"));
    OKHelp->setDefault(true);
    connect(OKHelp, &QPushButton::clicked, this, &QDialog::accept);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKHelp);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Panel1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TAboutBox::reject()
{
    accept();
}

void TAboutBox::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (QScreen *s = screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(s->availableGeometry().center());
        move(frame.topLeft());
    }
    OKHelp->setFocus(Qt::OtherFocusReason);
}
