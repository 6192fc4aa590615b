#pragma once

#include <QProxyStyle>

// The application's style for the menus, except that a disabled item can be
// highlighted (by the pointer or the arrow keys) like an enabled one, so the
// status bar shows its hint. Choosing it still does nothing.
class MenuHintStyle : public QProxyStyle
{
    Q_OBJECT
public:
    explicit MenuHintStyle(QObject *parent);

    int styleHint(StyleHint hint, const QStyleOption *option = nullptr, const QWidget *widget = nullptr,
                  QStyleHintReturn *returnData = nullptr) const override;
};
