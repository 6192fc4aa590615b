#pragma once

#include "FuseView.h"

#include <QString>
#include <QStringList>
#include <array>

// The fuse editor's controls as plain values: what an exchange showed, kept
// for the fuse commands to report, and the two choices they set before a
// write.
class CliFuseView : public FuseView
{
public:
    void setCaption(const QString &) override {}
    void setResult(const QString &text) override;
    void setReadWriteEnabled(bool) override {}
    void setExitCaption(const QString &) override {}
    void focusExit() override {}

    void setDisplay(FuseLayout::Target target, const QString &text) override;
    void setChoice(FuseLayout::Target target, int item) override;
    int choice(FuseLayout::Target target) const override;
    void setFuseName(FuseLayout::Target target, const QString &name) override;
    void setFuse1Enabled(bool) override {}

    QString display(FuseLayout::Target target) const { return m_displays[index(target)]; }
    QString result() const { return m_results.isEmpty() ? QString() : m_results.last(); }
    // Every result text since the last clear, in order.
    const QStringList &results() const { return m_results; }
    void clear();

private:
    static size_t index(FuseLayout::Target target) { return size_t(target); }

    std::array<QString, 5> m_displays;
    std::array<int, 5> m_choices{-1, -1, -1, -1, -1};
    QStringList m_results;
};
