// Input through the X server for the rows on a display of their own (kevo_add_test ... X11): it
// comes as a user's does, in the window system's own order of clicks, activation and focus.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QProcess>
#include <QWidget>

namespace kevosupport {

inline bool onX() {
    return QGuiApplication::platformName() == "xcb";
}

// A left click at the point at of widget, which must be what the pointer hits there.
inline void xclick(QWidget* widget, QPoint at) {
    const QPoint g = widget->mapToGlobal(at);
    ASSERT_EQ(QApplication::widgetAt(g), widget);
    const QStringList args{"mousemove", QString::number(g.x()), QString::number(g.y()), "click", "1"};
    ASSERT_EQ(QProcess::execute("xdotool", args), 0);
}

}  // namespace kevosupport
