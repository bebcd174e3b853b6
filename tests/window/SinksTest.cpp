#include "BoxAnswerer.h"
#include "WindowTests.h"
#include "app/WindowSinks.h"

#include <QProgressBar>
#include <QTest>
#include <QTextEdit>
#include <QWidget>
#include <atomic>
#include <chrono>
#include <thread>

using namespace vtc880;

namespace {

// Widgets standing in for the window's, with the sinks over them.
struct Rig {
    Rig() : status(&window), progress(&window), sinks(window, status, progress) { window.show(); }
    QWidget window;
    QTextEdit status;
    QProgressBar progress;
    WindowSinks sinks;
};

Message errorBox() {
    Message message;
    message.text = "Error while connecting to /dev/ttyUSB9 !!!";
    message.caption = "Error: connect";
    message.icon = MessageIcon::error;
    message.detail = "No such port: /dev/ttyUSB9.";
    return message;
}

} // namespace

class SinksTest : public QObject {
    Q_OBJECT

  private slots:
    // A worker's reports reach the widgets on the window's thread, all of them and in order.
    void workerReportsArriveQueuedAndInOrder() {
        Rig rig;
        QStringList texts;
        connect(&rig.status, &QTextEdit::textChanged, [&] { texts << rig.status.toPlainText(); });
        std::thread worker([&] {
            rig.sinks.setProgressMaximum(300);
            for (int i = 1; i <= 50; ++i) {
                rig.sinks.setStatusText("step " + std::to_string(i));
                rig.sinks.setProgressValue(i * 6);
            }
            rig.sinks.setTitle(" [100%] VTC880 - Firmware Update");
            rig.sinks.showStatus();
            rig.sinks.repaint();
        });
        worker.join();
        QVERIFY(texts.isEmpty()); // nothing touched the widgets from the worker's thread
        QTRY_COMPARE(rig.window.windowTitle(), QStringLiteral(" [100%] VTC880 - Firmware Update"));
        QStringList expected;
        for (int i = 1; i <= 50; ++i) {
            expected << QStringLiteral("step %1").arg(i);
        }
        QCOMPARE(texts, expected);
        QCOMPARE(rig.progress.maximum(), 300);
        QCOMPARE(rig.progress.value(), 300);
    }

    // Reports that keep coming do not hold the window's thread: other events are served between
    // them, not only once they stop. Each report shown here makes the next, so the queue never
    // empties (as with a worker that reports faster than the window shows); a timer armed at the
    // first fires long before the last.
    void reportsThatKeepComingLeaveTheWindowResponsive() {
        Rig rig;
        constexpr int last = 1000;
        int seenByTheTimer = 0;
        connect(&rig.progress, &QProgressBar::valueChanged, [&](int value) {
            if (value == 1) {
                QTimer::singleShot(0, [&] { seenByTheTimer = rig.progress.value(); });
            }
            if (value < last) {
                rig.sinks.setProgressValue(value + 1);
            }
        });
        rig.sinks.setProgressMaximum(last);
        rig.sinks.setProgressValue(1);
        QTRY_COMPARE_WITH_TIMEOUT(rig.progress.value(), last, 60000);
        QTRY_VERIFY(seenByTheTimer != 0);
        QVERIFY2(seenByTheTimer < last, "the timer waited for the last report");
    }

    // The worker waits on its box until the user answers; the window keeps serving events meanwhile.
    void workerWaitsForItsMessageBox() {
        Rig rig;
        BoxAnswerer answerer;
        std::atomic<bool> returned{false};
        bool returnedWhileOpen = true;
        bool windowServed = false;
        answerer.onBox = [&](QMessageBox&) {
            returnedWhileOpen = returned;
            QTimer::singleShot(0, [&] { windowServed = true; });
            QTRY_VERIFY(windowServed);
        };
        std::thread worker([&] {
            rig.sinks.messageBox(errorBox());
            returned = true;
        });
        QTRY_VERIFY(returned);
        worker.join();
        QVERIFY(!returnedWhileOpen);
        QVERIFY(windowServed);
        QCOMPARE(answerer.seen.size(), 1);
        QCOMPARE(answerer.seen[0].caption, QStringLiteral("Error: connect"));
        QCOMPARE(answerer.seen[0].text, QStringLiteral("Error while connecting to /dev/ttyUSB9 !!!"));
        QCOMPARE(answerer.seen[0].detail, QStringLiteral("No such port: /dev/ttyUSB9."));
        QCOMPARE(answerer.seen[0].icon, QMessageBox::Critical);
    }

    // On the window's own thread the box shows at once (a blocking hop to the same thread would
    // never return); its two lines and the information icon come through as given.
    void boxOnTheWindowsThreadShowsDirectly() {
        Rig rig;
        BoxAnswerer answerer;
        Message message;
        message.text = "Firmware updated !\nClick OK to close VTC880 Firmware Updater";
        message.caption = "VTC880 updated";
        message.icon = MessageIcon::information;
        rig.sinks.messageBox(message);
        QCOMPARE(answerer.seen.size(), 1);
        QCOMPARE(answerer.seen[0].text,
                 QStringLiteral("Firmware updated !\nClick OK to close VTC880 Firmware Updater"));
        QCOMPARE(answerer.seen[0].caption, QStringLiteral("VTC880 updated"));
        QCOMPARE(answerer.seen[0].icon, QMessageBox::Information);
        QVERIFY(answerer.seen[0].detail.isEmpty());
    }

    // Once the window closes, an open box goes away and its worker goes on; later reports and
    // boxes are dropped, so a worker that is being stopped never waits on a window that is gone.
    void closingReleasesAWaitingWorkerAndDropsLaterReports() {
        Rig rig;
        std::atomic<bool> returned{false};
        std::thread worker([&] {
            rig.sinks.messageBox(errorBox());
            returned = true;
        });
        // The box runs its own event loop; the window closes from within it, as a close event would.
        bool closedWhileOpen = false;
        QTimer closer;
        connect(&closer, &QTimer::timeout, [&] {
            if (BoxAnswerer::anyBoxOpen()) {
                closedWhileOpen = true;
                rig.sinks.close();
            }
        });
        closer.start(10);
        QTRY_VERIFY(returned);
        QVERIFY(closedWhileOpen);
        worker.join();
        QVERIFY(!BoxAnswerer::anyBoxOpen());

        std::thread late([&] {
            rig.sinks.setStatusText("late");
            rig.sinks.messageBox(errorBox()); // returns at once
        });
        late.join();
        QTest::qWait(20);
        QVERIFY(rig.status.toPlainText().isEmpty());
        QVERIFY(!BoxAnswerer::anyBoxOpen());
    }

    // Closing alone frees a worker waiting on a box the window has not shown yet: whoever then waits
    // for the worker without serving events (a join) is not stuck behind the box.
    void closingFreesAWorkerWhoseBoxHasNotShown() {
        Rig rig;
        std::atomic<bool> asking{false};
        std::atomic<bool> returned{false};
        std::thread worker([&] {
            asking = true;
            rig.sinks.messageBox(errorBox());
            returned = true;
        });
        while (!asking) {
            std::this_thread::yield();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50)); // into its wait, most likely
        rig.sinks.close();
        // No event is served here: the box stays unshown.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!returned && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        const bool returnedWithoutEvents = returned;
        while (!returned) { // a worker left waiting is freed by serving events, so the join ends
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        worker.join();
        QVERIFY(returnedWithoutEvents);
        QCoreApplication::processEvents();
        QVERIFY(!BoxAnswerer::anyBoxOpen());
    }

    // The bar shows what it is told within its range: an empty range is an empty bar (not an
    // endless busy indicator), and values beyond its ends stop there instead of being ignored.
    void progressStaysWithinItsRange() {
        Rig rig;
        struct Step {
            std::int32_t maximum;
            std::int32_t value;
            int shownMaximum;
            int shownValue;
        };
        const Step steps[] = {{0, 0, 1, 0},
                              {-5, 3, 1, 1},
                              {1000, 1200, 1000, 1000},
                              {1000, -1, 1000, 0},
                              {52000, 26000, 52000, 26000}};
        for (const Step& step : steps) {
            rig.sinks.setProgressMaximum(step.maximum);
            rig.sinks.setProgressValue(step.value);
            QTRY_COMPARE(rig.progress.maximum(), step.shownMaximum);
            QTRY_COMPARE(rig.progress.value(), step.shownValue);
            QVERIFY(rig.progress.maximum() > rig.progress.minimum());
        }
    }

    void exitEndsTheEventLoop() {
        Rig rig;
        QTimer::singleShot(0, [&] { std::thread([&] { rig.sinks.exitApplication(); }).join(); });
        QTimer watchdog;
        watchdog.setSingleShot(true);
        connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(2); });
        watchdog.start(10000);
        QCOMPARE(QCoreApplication::exec(), 0);
    }
};

static const bool registered = registerWindowTest<SinksTest>("SinksTest");

#include "SinksTest.moc"
