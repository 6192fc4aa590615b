#pragma once

#include "Prompter.h"
#include "TarvoVersion.h"

#include <QPointer>
#include <QString>
#include <QWidget>

// The real message boxes and text questions: modal, titled with the
// application title, over the modal dialog or window that is active at the
// time (the main window otherwise).
class MessageBoxPrompter : public Prompter
{
public:
    static inline const QString Title = QStringLiteral(TARVO_PRODUCT_STRING);

    explicit MessageBoxPrompter(QWidget *parent = nullptr);
    void setParentWidget(QWidget *parent) { m_parent = parent; }

    Answer show(Icon icon, const QString &text, Buttons buttons) override;
    std::optional<QString> askText(const QString &question, bool secret) override;

private:
    // The modal dialog open, else the active window, else the main window.
    QWidget *dialogParent() const;

    QPointer<QWidget> m_parent;
};
