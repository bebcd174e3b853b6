#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <functional>

// Plays the user in front of message boxes: every box that shows is noted and answered with OK, or,
// for a question, with the button named `choice`.
class BoxAnswerer : public QObject {
  public:
    struct Seen {
        QString caption;
        QString text;
        QString detail;
        QMessageBox::Icon icon;
    };

    BoxAnswerer() {
        connect(&timer, &QTimer::timeout, this, &BoxAnswerer::answer);
        timer.start(10);
    }

    QList<Seen> seen;
    std::function<void(QMessageBox&)> onBox; // runs before the box is answered
    QString choice = QStringLiteral("Stop the update");

    static bool anyBoxOpen() {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (qobject_cast<QMessageBox*>(widget) != nullptr && widget->isVisible()) {
                return true;
            }
        }
        return false;
    }

  private:
    void answer() {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            if (box == nullptr || !box->isVisible() || answering) {
                continue;
            }
            answering = true;
            seen.push_back({box->windowTitle(), box->text(), box->detailedText(), box->icon()});
            if (onBox) {
                onBox(*box);
            }
            if (QAbstractButton* ok = box->button(QMessageBox::Ok)) {
                ok->click();
            } else {
                for (QAbstractButton* button : box->buttons()) {
                    if (button->text() == choice) {
                        button->click();
                    }
                }
            }
            answering = false;
        }
    }

    QTimer timer;
    bool answering = false;
};
