#include "TFuseForm.h"

#include "RadioGroup.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QKeyEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

using FuseLayout::Target;

namespace {

int index(Target t)
{
    return int(t);
}

} // namespace

TFuseForm::TFuseForm(ProgrammerLink &link, const SelectionState &selection, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , m_exchange(link, selection, *this)
{
    setObjectName(QStringLiteral("FuseForm"));
    setWindowTitle(QStringLiteral("Display & Program Fuse Bit"));
    buildControls();
    setFixedSize(sizeHint());
}

void TFuseForm::buildControls()
{
    const QStringList items{QString::fromLatin1(FuseLayout::EnableText), QString::fromLatin1(FuseLayout::DisableText)};

    auto *fuseBitGroup = new QGroupBox(QStringLiteral("Edit Fuse Bit"), this);
    fuseBitGroup->setObjectName(QStringLiteral("FuseBitGroup"));
    m_fuse1 = new RadioGroup(QStringLiteral("Fuse1"), QStringLiteral("Fuse1"), items, fuseBitGroup);
    m_fuse2 = new RadioGroup(QStringLiteral("Fuse2"), QStringLiteral("Fuse2"), items, fuseBitGroup);
    nameChoices(m_fuse1);
    nameChoices(m_fuse2);
    m_startFuse = new QPushButton(QStringLiteral("Write"), fuseBitGroup);
    m_startFuse->setObjectName(QStringLiteral("StartFuse"));
    auto *left = new QVBoxLayout(fuseBitGroup);
    left->addWidget(m_fuse1);
    left->addWidget(m_fuse2);
    left->addWidget(m_startFuse);

    auto *lockBitGroup = new QGroupBox(QStringLiteral("Fuse,Lock Bit Status"), this);
    lockBitGroup->setObjectName(QStringLiteral("LockBitGroup"));
    auto *rows = new QGridLayout(lockBitGroup);
    const struct
    {
        const char *label, *labelName, *displayName;
    } rowNames[5] = {
        {"Fuse Bit1", "FuseBit1", "DisplayFuse1"}, {"Fuse Bit2", "FuseBit2", "DisplayFuse2"},
        {"Lock Bit1", "LockBit1", "DisplayLock1"}, {"Lock Bit2", "LockBit2", "DisplayLock2"},
        {"Lock Bit3", "LockBit3", "DisplayLock3"},
    };
    QLabel *labels[5];
    for (int i = 0; i < 5; ++i) {
        labels[i] = new QLabel(QString::fromLatin1(rowNames[i].label), lockBitGroup);
        labels[i]->setObjectName(QString::fromLatin1(rowNames[i].labelName));
        m_displays[i] = new QLineEdit(lockBitGroup);
        m_displays[i]->setObjectName(QString::fromLatin1(rowNames[i].displayName));
        m_displays[i]->setReadOnly(true);
        m_displays[i]->setFocusPolicy(Qt::NoFocus);
        rows->addWidget(labels[i], i, 0);
        rows->addWidget(m_displays[i], i, 1);
        labels[i]->setBuddy(m_displays[i]);
        m_displays[i]->setAccessibleName(labels[i]->text());
    }
    m_fuseBit1 = labels[0];
    m_fuseBit2 = labels[1];
    // The labels take the fuse names on activation, under a fixed size.
    const int labelWidth = labels[0]->fontMetrics().horizontalAdvance(QStringLiteral("Fuse FSTRT")) + 4;
    for (QLabel *label : labels)
        label->setMinimumWidth(labelWidth);
    m_readFuse = new QPushButton(QStringLiteral("Read"), lockBitGroup);
    m_readFuse->setObjectName(QStringLiteral("ReadFuse"));
    rows->addWidget(m_readFuse, 5, 0, 1, 2);

    m_cancleFuse = new QPushButton(QStringLiteral("Exit"), this);
    m_cancleFuse->setObjectName(QStringLiteral("CancleFuse"));
    // Enter must not close the editor (nor write) by way of a default
    // button: it presses the focused button only (keyPressEvent).
    for (QPushButton *b : {m_startFuse, m_readFuse, m_cancleFuse})
        b->setAutoDefault(false);

    auto *fuseStatus = new QGroupBox(this);
    fuseStatus->setObjectName(QStringLiteral("FuseStatus"));
    m_fuseResult = new QLabel(fuseStatus);
    m_fuseResult->setObjectName(QStringLiteral("FuseResult"));
    // Named "Result" while empty; otherwise the result itself is the name,
    // as a label's text is (setResult).
    m_fuseResult->setAccessibleName(QStringLiteral("Result"));
    // Wide enough for the longest text, so the fixed size never clips it.
    m_fuseResult->setMinimumWidth(m_fuseResult->fontMetrics().horizontalAdvance(
                                      QStringLiteral("Waiting to Read Lock Bit"))
                                  + 8);
    (new QVBoxLayout(fuseStatus))->addWidget(m_fuseResult);

    auto *grid = new QGridLayout(this);
    grid->addWidget(fuseBitGroup, 0, 0);
    grid->addWidget(lockBitGroup, 0, 1);
    grid->addWidget(m_cancleFuse, 1, 0);
    grid->addWidget(fuseStatus, 1, 1);

    connect(m_readFuse, &QPushButton::clicked, this, &TFuseForm::ReadFuseClick);
    connect(m_startFuse, &QPushButton::clicked, this, &TFuseForm::StartFuseClick);
    connect(m_cancleFuse, &QPushButton::clicked, this, &TFuseForm::CancleFuseClick);
}

void TFuseForm::run(void (FuseExchange::*entry)())
{
    if (m_exchange.busy())
        return;
    (m_exchange.*entry)();
    if (m_closePending) {
        m_closePending = false;
        close();
    }
    emit exchangeFinished();
}

void TFuseForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Reads run once per showing, after the editor is on screen; a window
    // system re-show (after a box over it) does not repeat them.
    if (!event->spontaneous() && !m_activationPending) {
        m_activationPending = true;
        QTimer::singleShot(0, this, &TFuseForm::activateIfShown);
    }
}

void TFuseForm::activateIfShown()
{
    m_activationPending = false;
    if (isVisible())
        FormActivate();
}

void TFuseForm::FormActivate()
{
    run(&FuseExchange::activate);
}

void TFuseForm::ReadFuseClick()
{
    run(&FuseExchange::readClick);
}

void TFuseForm::StartFuseClick()
{
    run(&FuseExchange::writeClick);
    if (const std::optional<FuseExchange::WriteOutcome> write = m_exchange.takeWrite())
        emit fuseWritten(write->value, write->passed, m_fuseResult->text());
}

void TFuseForm::CancleFuseClick()
{
    // Write is enabled again while a finished exchange sends its ENQ; Exit
    // then closes (after the ENQ) instead of asking to stop.
    if (m_startFuse->isEnabled())
        close();
    else
        m_exchange.requestStop();
}

void TFuseForm::FormClose()
{
    m_exchange.formClose();
}

void TFuseForm::done(int result)
{
    if (m_exchange.busy()) {
        // The exchange is waiting inside a handler further up the stack:
        // end it there and close once it has unwound.
        m_closePending = true;
        m_exchange.abandon();
        return;
    }
    FormClose();
    QDialog::done(result);
}

void TFuseForm::setCaption(const QString &caption)
{
    setWindowTitle(caption);
}

void TFuseForm::setResult(const QString &text)
{
    m_fuseResult->setText(text);
    if (m_announceResult)
        m_announceResult(m_fuseResult);
    else
        m_fuseResult->setAccessibleName(text.isEmpty() ? QStringLiteral("Result") : text);
}

void TFuseForm::setReadWriteEnabled(bool enabled)
{
    m_readFuse->setEnabled(enabled);
    m_startFuse->setEnabled(enabled);
    m_cancleFuse->setEnabled(true);
}

void TFuseForm::setExitCaption(const QString &caption)
{
    m_cancleFuse->setText(caption);
}

void TFuseForm::focusExit()
{
    m_cancleFuse->setFocus();
}

void TFuseForm::setDisplay(Target target, const QString &text)
{
    m_displays[index(target)]->setText(text);
}

RadioGroup *TFuseForm::group(Target target) const
{
    return target == Target::Fuse1 ? m_fuse1 : target == Target::Fuse2 ? m_fuse2 : nullptr;
}

void TFuseForm::setChoice(Target target, int item)
{
    if (RadioGroup *g = group(target))
        g->setItemIndex(item);
}

int TFuseForm::choice(Target target) const
{
    const RadioGroup *g = group(target);
    return g ? g->itemIndex() : -1;
}

void TFuseForm::setFuseName(Target target, const QString &name)
{
    RadioGroup *choices = group(target);
    QLabel *label = target == Target::Fuse1 ? m_fuseBit1 : target == Target::Fuse2 ? m_fuseBit2 : nullptr;
    if (!choices || !label)
        return;
    choices->setTitle(name);
    nameChoices(choices);
    label->setText(QStringLiteral("Fuse ") + name);
    m_displays[index(target)]->setAccessibleName(label->text());
}

void TFuseForm::nameChoices(RadioGroup *choices)
{
    // Both groups offer the same two captions: each button's name says
    // which fuse it sets.
    choices->setAccessibleName(choices->title());
    for (int i = 0; QRadioButton *button = choices->item(i); ++i)
        button->setAccessibleName(choices->title() + QLatin1Char(' ') + button->text());
}

void TFuseForm::keyPressEvent(QKeyEvent *event)
{
    // Return and keypad Enter press the focused button, as Space does; on
    // any other control they keep doing nothing.
    auto *button = qobject_cast<QPushButton *>(focusWidget());
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && button && button->isEnabled()) {
        if (!event->isAutoRepeat())
            button->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TFuseForm::setFuse1Enabled(bool enabled)
{
    m_fuse1->setEnabled(enabled);
}
