#pragma once

#include <gtest/gtest.h>
#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <map>
#include <set>

namespace lanscope::test {

// Walks a dialog under exec() as a person at the keyboard does: Tab from one
// control to the next, Enter on each. Every button's clicks are counted
// instead of acted on, so the walk goes through every control of one window.
// Enter on a focused button must press that button; anywhere else it must
// press the window's default button.
inline void ExpectEnterPressesTheFocusedButton(QDialog& dialog, const char* name) {
    SCOPED_TRACE(name);
    std::map<QPushButton*, int> clicks;
    const auto count = [&clicks](const std::map<QPushButton*, int>& counts, QPushButton* button) {
        const auto found = counts.find(button);
        return found == counts.end() ? 0 : found->second;
    };
    QPushButton* defaultButton = nullptr;
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
        QObject::disconnect(button, &QAbstractButton::clicked, nullptr, nullptr);
        QObject::connect(button, &QAbstractButton::clicked, &dialog,
                         [&clicks, button] { ++clicks[button]; });
        if (button->isDefault()) {
            defaultButton = button;
        }
    }
    int buttonsPressed = 0;
    QTimer::singleShot(0, &dialog, [&] {
        dialog.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
        std::set<QWidget*> visited;
        for (int step = 0; step < 40; ++step) {
            QWidget* focused = QApplication::focusWidget();
            ASSERT_NE(focused, nullptr);
            if (!visited.insert(focused).second) {
                break;  // round the whole tab chain
            }
            const auto before = clicks;
            QTest::keyClick(focused, Qt::Key_Return);
            auto* button = qobject_cast<QPushButton*>(focused);
            QPushButton* expected = button != nullptr ? button : defaultButton;
            for (const auto& [pressed, now] : clicks) {
                EXPECT_EQ(now - count(before, pressed), pressed == expected ? 1 : 0)
                    << "Enter on " << focused->objectName().toStdString() << " ("
                    << focused->metaObject()->className() << ") pressed "
                    << pressed->objectName().toStdString();
            }
            if (expected != nullptr && count(clicks, expected) == count(before, expected)) {
                ADD_FAILURE() << "Enter on " << focused->objectName().toStdString()
                              << " pressed nothing";
            }
            buttonsPressed += button != nullptr ? 1 : 0;
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        dialog.reject();
    });
    dialog.exec();
    // Every visible, enabled button is on the tab chain and was tried.
    int reachable = 0;
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
        reachable += button->isVisibleTo(&dialog) && button->isEnabled() ? 1 : 0;
    }
    EXPECT_EQ(buttonsPressed, reachable);
}

}  // namespace lanscope::test
