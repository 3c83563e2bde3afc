// The ways a user changes a check box, a radio button or a check button: a mouse click, and
// the accessibility layer's toggle action, which is what a screen reader sends. The toggle
// action sets the check state directly; no click is emitted for it.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QSignalSpy>
#include <QTest>

namespace kevosupport {

enum class InputPath { Mouse, Accessibility };

inline const char* pathName(InputPath p) {
    return p == InputPath::Mouse ? "mouse click" : "accessibility toggle";
}

inline constexpr InputPath kInputPaths[] = {InputPath::Mouse, InputPath::Accessibility};

// Operates b as a user on that path does: a left click on its check mark, or its toggle
// action through the accessibility interface.
inline void operate(QAbstractButton* b, InputPath path) {
    ASSERT_TRUE(b && b->isVisible() && b->isEnabled()) << (b ? b->objectName().toStdString() : "null");
    if (path == InputPath::Mouse) {
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
        return;
    }
    QAccessibleInterface* ai = QAccessible::queryAccessibleInterface(b);
    ASSERT_TRUE(ai && ai->actionInterface()) << b->objectName().toStdString();
    ASSERT_TRUE(ai->actionInterface()->actionNames().contains(QAccessibleActionInterface::toggleAction()));
    ai->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    QApplication::processEvents();
}

// Presses a push button as a screen reader does: its press action, which clicks it without
// taking the focus from the control being edited.
inline void pressByAccessibility(QAbstractButton* b) {
    QAccessibleInterface* ai = QAccessible::queryAccessibleInterface(b);
    ASSERT_TRUE(ai && ai->actionInterface()) << b->objectName().toStdString();
    QSignalSpy clicked(b, &QAbstractButton::clicked);
    ai->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    ASSERT_TRUE(clicked.wait(3000) || clicked.count() > 0);
}

}  // namespace kevosupport
