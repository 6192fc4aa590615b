#include "MessageBoxPrompter.h"

#include <QInputDialog>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>

MessageBoxPrompter::MessageBoxPrompter(QWidget *parent)
    : m_parent(parent)
{
}

static QMessageBox::Icon boxIcon(Prompter::Icon icon)
{
    switch (icon) {
    case Prompter::Icon::Error:
        return QMessageBox::Critical;
    case Prompter::Icon::Warning:
        return QMessageBox::Warning;
    case Prompter::Icon::Question:
        return QMessageBox::Question;
    case Prompter::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

static QString iconName(Prompter::Icon icon)
{
    switch (icon) {
    case Prompter::Icon::Error:
        return QStringLiteral("Error");
    case Prompter::Icon::Warning:
        return QStringLiteral("Warning");
    case Prompter::Icon::Question:
        return QStringLiteral("Question");
    case Prompter::Icon::None:
        break;
    }
    return QStringLiteral("Message");
}

QWidget *MessageBoxPrompter::dialogParent() const
{
    if (QWidget *modal = QApplication::activeModalWidget())
        return modal;
    if (QWidget *active = QApplication::activeWindow())
        return active;
    return m_parent;
}

Prompter::Answer MessageBoxPrompter::show(Icon icon, const QString &text, Buttons buttons)
{
    QWidget *parent = dialogParent();

    const bool question = buttons != Buttons::Ok;
    const QMessageBox::StandardButtons standard = question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok;
    QMessageBox box(boxIcon(icon), Title, text, standard, parent);
    // Yes is the default button, as Enter answers a question here, unless
    // the question asks for No; Escape and the close box answer No.
    box.setDefaultButton(buttons == Buttons::YesNo ? QMessageBox::Yes
                         : question                ? QMessageBox::No
                                                   : QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    // The icon says what kind of message this is; say it to a screen
    // reader as well (the box names it nowhere else).
    if (auto *picture = box.findChild<QLabel *>(QStringLiteral("qt_msgboxex_icon_label")))
        picture->setAccessibleName(iconName(icon));
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return question ? Answer::No : Answer::Ok;
    }
}

std::optional<QString> MessageBoxPrompter::askText(const QString &question, bool secret)
{
    bool ok = false;
    const QString text = QInputDialog::getText(dialogParent(), Title, question,
                                               secret ? QLineEdit::Password : QLineEdit::Normal, QString(), &ok);
    if (!ok)
        return std::nullopt;
    return text;
}
