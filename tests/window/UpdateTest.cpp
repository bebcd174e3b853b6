#include "BoxAnswerer.h"
#include "QuickClock.h"
#include "WindowTests.h"
#include "app/MainForm.h"
#include "link/RS232.h"
#include "sim/SimulatedDevice.h"
#include "vtc880/Command.h"
#include "vtc880/DeviceCodes.h"
#include "vtc880/ImageBuilder.h"
#include "vtc880/ImageFile.h"

#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <algorithm>
#include <cstring>
#include <vector>

using namespace vtc880;

namespace {

struct Block {
    std::uint32_t address;
    std::vector<std::uint8_t> bytes;
};

std::vector<std::uint8_t> pattern(std::size_t size, std::uint8_t seed) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = std::uint8_t(seed + i * 7);
    }
    return bytes;
}

std::string writeImage(const QTemporaryDir& dir, const std::vector<Block>& blocks) {
    FileCopy list;
    for (const Block& block : blocks) {
        auto data = std::make_unique<std::uint8_t[]>(block.bytes.size());
        std::memcpy(data.get(), block.bytes.data(), block.bytes.size());
        list.append(std::uint32_t(block.bytes.size()), block.address, std::move(data));
    }
    const std::string path = dir.filePath(QStringLiteral("firmware.hex")).toStdString();
    return firmwareCreate(path, list) == 0 ? path : std::string();
}

// The window, loaded, with `port` offered and chosen, and everything it shows written down.
class WindowRun {
  public:
    // `offered`: the port is an item of the list, and chosen; otherwise the list lacks it.
    WindowRun(const std::string& imagePath, const std::string& port, bool offered = true)
        : form(imagePath, clock) {
        qputenv("VTC880_PORTS", offered ? QByteArray::fromStdString(port) : QByteArray());
        form.show();
        qunsetenv("VTC880_PORTS");
        comBox = form.findChild<QComboBox*>(QStringLiteral("comBox"));
        status = form.findChild<QTextEdit*>(QStringLiteral("updateText"));
        progress = form.findChild<QProgressBar*>(QStringLiteral("PB_Firm"));
        button = form.findChild<QPushButton*>(QStringLiteral("B_Download"));
        if (offered) {
            comBox->setCurrentIndex(comBox->findText(QString::fromStdString(port)));
        }
        QObject::connect(status, &QTextEdit::textChanged, [this] { statuses << status->toPlainText(); });
        QObject::connect(&form, &QWidget::windowTitleChanged,
                         [this](const QString& title) { titles << title; });
        QObject::connect(progress, &QProgressBar::valueChanged, [this](int value) { values << value; });
    }

    void click() { QTest::mouseClick(button, Qt::LeftButton); }

    // Clicks "Update" and runs the application until something ends it.
    int clickAndRun() {
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        watchdog.start(60000);
        QTimer::singleShot(0, button, [this] { click(); });
        const int status = QCoreApplication::exec();
        // A quit closes the window, and the last window closing posts one more quit. Served after
        // exec() returned (while the window waits for its worker), that one would end the next event
        // loop at once: a later test's message box would close unseen.
        QCoreApplication::removePostedEvents(QCoreApplication::instance(), QEvent::Quit);
        return status;
    }

    // What the window showed, for a failure message.
    QString story(const BoxAnswerer* answerer = nullptr) const {
        QStringList boxes;
        for (const BoxAnswerer::Seen& box : answerer ? answerer->seen : QList<BoxAnswerer::Seen>()) {
            boxes << box.caption + QStringLiteral(": ") + box.text;
        }
        return QStringLiteral("status: ") + statuses.join(QStringLiteral(" | ")) +
               QStringLiteral("\nboxes: ") + boxes.join(QStringLiteral(" | "));
    }

    QuickClock clock;
    MainForm form;
    QComboBox* comBox;
    QTextEdit* status;
    QProgressBar* progress;
    QPushButton* button;
    QStringList statuses;
    QStringList titles;
    QList<int> values;
};

int occurrences(const std::string& text, const std::string& part) {
    int count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

std::string asciiReceived(const sim::SimulatedDevice& device) {
    std::string text;
    for (const sim::Received& entry : device.transcript()) {
        if (entry.kind == sim::Received::Kind::ascii) {
            text += entry.text;
        }
    }
    return text;
}

// What the device received, for a failure message.
QString heard(const sim::SimulatedDevice& device) {
    QStringList entries;
    for (const sim::Received& entry : device.transcript()) {
        if (entry.kind == sim::Received::Kind::ascii) {
            entries << QStringLiteral("'%1'@%2")
                           .arg(QString::fromLatin1(entry.text).toHtmlEscaped())
                           .arg(entry.speed);
        } else {
            entries << QStringLiteral("%1%2@%3")
                           .arg(entry.kind == sim::Received::Kind::frame ? QString() : QStringLiteral("bad "))
                           .arg(entry.code, 4, 16)
                           .arg(entry.speed);
        }
    }
    return QStringLiteral("\ndevice: ") + entries.join(QStringLiteral(" "));
}

QString title(const char* percent) {
    return QStringLiteral(" [%1%] VTC880 - Firmware Update").arg(QLatin1String(percent));
}

} // namespace

class UpdateTest : public QObject {
    Q_OBJECT

  private slots:
    void init() { QVERIFY(dir.isValid()); }

    // One press of "Update" against the device: the status box, the progress bar and the title show
    // every step the workers report, the success box is answered, and the application ends.
    void wholeUpdateThroughTheButton() {
        sim::SimulatedDevice device;
        QVERIFY(device.start());
        const std::vector<std::uint8_t> first = pattern(150, 1);
        const std::vector<std::uint8_t> second = pattern(60, 9);
        const std::string image = writeImage(dir, {{0x100, first}, {0x300, second}});
        WindowRun run(image, device.portPath());
        BoxAnswerer answerer;
        bool workerWaitedOnTheBox = false;
        answerer.onBox = [&](QMessageBox&) { workerWaitedOnTheBox = run.form.updateCommand().threadActive; };

        QVERIFY2(run.clickAndRun() == 0, qPrintable(run.story(&answerer) + heard(device)));

        QCOMPARE(answerer.seen.size(), 1);
        QCOMPARE(answerer.seen[0].text,
                 QStringLiteral("Firmware updated !\nClick OK to close VTC880 Firmware Updater"));
        QCOMPARE(answerer.seen[0].caption, QStringLiteral("VTC880 updated"));
        QCOMPARE(answerer.seen[0].icon, QMessageBox::Information);
        QVERIFY(workerWaitedOnTheBox);
        QCOMPARE(run.statuses, (QStringList{
                                   "Connecting to VTC880 ...", // the window, before the speed switch
                                   "Connecting to VTC880 ...", // the worker
                                   "VTC880 Connected",
                                   "",
                                   "Connection to VTC880 ...",
                                   "Calculating erase time ...",
                                   "Erasing (0.1 seconds) ...",
                                   "Firmware erased",
                                   "Copying 0ko / 0ko  (100%)",
                                   "Copying 0ko / 0ko  (47%)",
                                   "Copying 0ko / 0ko  (71%)",
                                   "Firmware updated",
                                   "Copying 0ko / 0ko  (100%)",
                                   "Copying 0ko / 0ko  (100%)",
                                   "Firmware updated",
                               }));
        QCOMPARE(run.titles, (QStringList{title("47"), title("71"), title("100"),
                                          QStringLiteral(" VTC880 - Firmware Update")}));
        QCOMPARE(run.progress->maximum(), 210);
        QVERIFY(run.values.size() >= 4);
        QCOMPARE(run.values.mid(run.values.size() - 4), (QList<int>{0, 100, 150, 210}));

        QTRY_VERIFY(device.finished()); // Finish awaits no reply: the device may still be reading it
        QCOMPARE(device.memory(0x100, 150), first);
        QCOMPARE(device.memory(0x300, 60), second);
    }

    // While the worker runs, "Update" starts nothing: no second speed switch, no second preamble.
    // Clicked again at once (as a click queued while the first one held the window would be, before
    // the worker is under way) and again during the erase.
    void secondClickWhileTheWorkerRunsStartsNothing() {
        sim::Config config;
        config.eraseTimeMs = 1000;
        sim::SimulatedDevice device(config);
        QVERIFY(device.start());
        WindowRun run(writeImage(dir, {{0x100, pattern(300, 3)}}), device.portPath());
        BoxAnswerer answerer;
        bool clickedAgain = false;
        QObject::connect(run.status, &QTextEdit::textChanged, [&] {
            if (!clickedAgain && run.status->toPlainText().startsWith(QStringLiteral("Erasing"))) {
                clickedAgain = true;
                QTimer::singleShot(0, run.button, [&] { run.click(); });
            }
        });

        QTimer::singleShot(0, run.button, [&] { run.click(); });
        QVERIFY2(run.clickAndRun() == 0, qPrintable(run.story(&answerer) + heard(device)));

        QVERIFY(clickedAgain);
        QCOMPARE(run.statuses.count(QStringLiteral("Connecting to VTC880 ...")), 2); // one click's worth
        QCOMPARE(answerer.seen.size(), 1);
        QCOMPARE(answerer.seen[0].caption, QStringLiteral("VTC880 updated"));
        const std::string ascii = asciiReceived(device);
        QCOMPARE(occurrences(ascii, "1BR115200\r"), 1);
        QCOMPARE(occurrences(ascii, "2BR115200\r"), 1);
        QCOMPARE(occurrences(ascii, "FIRMWAREUPDATE\r"), 1);
        QTRY_VERIFY(device.finished());
    }

    // A port that does not exist: after the speed switch, the box names the port, says why, and
    // nothing starts; the window stays.
    void missingPortGivesTheConnectBox() {
        const std::string port = dir.filePath(QStringLiteral("no-such-port")).toStdString();
        WindowRun run(writeImage(dir, {{0x100, pattern(10, 0)}}), port);
        BoxAnswerer answerer;
        run.click(); // the box is raised and answered within the click

        QCOMPARE(answerer.seen.size(), 1);
        QCOMPARE(answerer.seen[0].text, QString::fromStdString("Error while connecting to " + port + " !!!"));
        QCOMPARE(answerer.seen[0].caption, QStringLiteral("Error: connect"));
        QCOMPARE(answerer.seen[0].icon, QMessageBox::Critical);
        QVERIFY(answerer.seen[0].detail.contains(QString::fromStdString(port)));
        QVERIFY(!run.form.updateCommand().busy());
        // The status box shows the failure, not the step that failed.
        QTRY_COMPARE(run.status->toPlainText(),
                     QString::fromStdString("Error while connecting to " + port + " !!!"));
        QVERIFY(run.form.isVisible());
    }

    // A device that does not answer: the connection error, "VTC880 Disconnected !", and the window
    // stays for another try, which runs the whole sequence again. The box's details say what to try;
    // after the first try, that the speed switch now starts at 115200 and how to go back to the link's
    // speed.
    void silentDeviceLeavesTheWindowReadyForAnotherTry() {
        sim::Config config;
        config.silent = true;
        sim::SimulatedDevice device(config);
        QVERIFY(device.start());
        WindowRun run(writeImage(dir, {{0x100, pattern(10, 0)}}), device.portPath());
        BoxAnswerer answerer;
        for (int attempt = 1; attempt <= 2; ++attempt) {
            run.click();
            QTRY_COMPARE_WITH_TIMEOUT(answerer.seen.size(), attempt, 20000);
            QTRY_VERIFY(!run.form.updateCommand().busy());
            QCOMPARE(answerer.seen.last().text, QStringLiteral("VTC880 Connection error !"));
            QCOMPARE(answerer.seen.last().caption, QStringLiteral("Error"));
            QTRY_COMPARE(run.status->toPlainText(), QStringLiteral("VTC880 Disconnected !"));
            // Silence is answered by no re-send: one Handshake per attempt.
            const std::vector<std::uint16_t> codes = device.frameCodes();
            QCOMPARE(int(std::count(codes.begin(), codes.end(), Code::Handshake)), attempt);
            const QString detail = answerer.seen.last().detail;
            QVERIFY2(detail.contains(QStringLiteral("Check the link choice")), qPrintable(detail));
            QVERIFY2(detail.contains(QStringLiteral("the cable, and that the device is powered")),
                     qPrintable(detail));
            QCOMPARE(detail.contains(QStringLiteral("choose the link again")), attempt > 1);
        }
        QVERIFY(run.form.isVisible());
        // Choosing the link again, the same one, brings back its speed for the next speed switch.
        QCOMPARE(run.form.updateCommand().baudRate(), Speed::update);
        auto* wireBox = run.form.findChild<QComboBox*>(QStringLiteral("wireBox"));
        emit wireBox->activated(wireBox->currentIndex());
        QCOMPARE(run.form.updateCommand().baudRate(), Speed::rs232Initial);
    }

    // A port typed in the box that is no item but a serial device: it becomes an item, is chosen,
    // and the update goes to it.
    void typedPortIsTheOneUpdated() {
        sim::Config config;
        config.eraseTimeMs = 10;
        sim::SimulatedDevice device(config);
        QVERIFY(device.start());
        WindowRun run(writeImage(dir, {{0x100, pattern(120, 4)}}), device.portPath(), false);
        QCOMPARE(run.comBox->findText(QString::fromStdString(device.portPath())), -1);
        run.comBox->lineEdit()->setText(QString::fromStdString(device.portPath()));
        BoxAnswerer answerer;

        QVERIFY2(run.clickAndRun() == 0, qPrintable(run.story(&answerer) + heard(device)));

        QCOMPARE(run.comBox->currentText(), QString::fromStdString(device.portPath()));
        QCOMPARE(run.comBox->itemText(run.comBox->currentIndex()), QString::fromStdString(device.portPath()));
        QCOMPARE(answerer.seen.size(), 1);
        QCOMPARE(answerer.seen[0].caption, QStringLiteral("VTC880 updated"));
        QTRY_VERIFY(device.finished());
        QCOMPARE(device.memory(0x100, 120), pattern(120, 4));
    }

    // Text that names no port refuses the press: the status line says so, no box, and nothing goes to
    // the port that was selected before.
    void typedTextThatNamesNoPortSendsNothing() {
        sim::SimulatedDevice device;
        QVERIFY(device.start());
        WindowRun run(writeImage(dir, {{0x100, pattern(10, 0)}}), device.portPath());
        run.comBox->lineEdit()->setText(QStringLiteral("/dev/ttyUSB-vtc880-none"));
        BoxAnswerer answerer;
        run.click();
        QTRY_COMPARE(run.status->toPlainText(),
                     QStringLiteral("No serial port \"/dev/ttyUSB-vtc880-none\": choose one from the list."));
        QTest::qWait(50);
        QVERIFY(answerer.seen.isEmpty());
        QVERIFY(!run.form.updateCommand().busy());
        QVERIFY2(device.transcript().empty(), qPrintable(heard(device)));
        QCOMPARE(run.comBox->currentText(), QStringLiteral("/dev/ttyUSB-vtc880-none")); // as typed
    }

    // No image where the window looks: the file error box at once, with the full path and the cause in
    // its details; the box keeps the system's own text, and the device hears nothing.
    void missingImageIsRefusedBeforeTheDeviceHearsAnything() {
        sim::SimulatedDevice device;
        QVERIFY(device.start());
        const std::string image = dir.filePath(QStringLiteral("missing.hex")).toStdString(); // never written
        WindowRun run(image, device.portPath());
        QCOMPARE(run.status->toPlainText(),
                 QStringLiteral("missing.hex: cannot open the file: check the path"));
        BoxAnswerer answerer;
        run.click(); // the box is raised and answered within the click
        QCOMPARE(answerer.seen.size(), 1);
        QCOMPARE(answerer.seen[0].text, QStringLiteral("Coult not open firmware file !"));
        QCOMPARE(answerer.seen[0].caption, QStringLiteral("File error"));
        QCOMPARE(answerer.seen[0].detail,
                 QString::fromStdString(image + ": cannot open the file: check the path"));
        QTRY_COMPARE(run.status->toPlainText(), QStringLiteral("Coult not open firmware file !"));
        QVERIFY(!run.form.updateCommand().busy());
        QVERIFY2(device.transcript().empty(), qPrintable(heard(device)));
    }

    // Before the first press the status box names the image "Update" sends, with its version; the tool
    // tip gives its whole path. A file dropped on the window replaces it.
    void theImageIsShownAndADroppedFileReplacesIt() {
        FileCopy versioned;
        blockAddVersion(versioned, versionWord("3.4.5"), versionAddress);
        versioned.append(96, 0x100, std::make_unique<std::uint8_t[]>(96));
        const std::string other = dir.filePath(QStringLiteral("other.hex")).toStdString();
        QCOMPARE(firmwareCreate(other, versioned), 0);
        const std::string first = writeImage(dir, {{0x100, pattern(10, 0)}});
        WindowRun run(first, "COM1");
        QCOMPARE(run.status->toPlainText(), QStringLiteral("firmware.hex (10 bytes)"));
        QVERIFY(run.form.toolTip().startsWith(QString::fromStdString(first)));

        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(other))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&run.form, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&run.form, &drop);
        QCOMPARE(run.form.updateCommand().fileName, other);
        QCOMPARE(run.status->toPlainText(), QStringLiteral("other.hex, version 3.4.5 (100 bytes)"));
        QVERIFY(run.form.toolTip().startsWith(QString::fromStdString(other)));

        QMimeData twoFiles;
        twoFiles.setUrls({QUrl::fromLocalFile(QString::fromStdString(first)),
                          QUrl::fromLocalFile(QString::fromStdString(other))});
        QDragEnterEvent refused(QPoint(10, 10), Qt::CopyAction, &twoFiles, Qt::LeftButton, Qt::NoModifier);
        refused.ignore();
        QApplication::sendEvent(&run.form, &refused);
        QVERIFY2(!refused.isAccepted(), "one image at a time");
    }

    // Closing the window during a download asks first; told to stop, the event loop ends, no box is
    // left, the worker stops without sending Finish, and the port is free again once the window is gone.
    void closingDuringAnUpdate() {
        // 100 KiB on a line that takes each byte's time: the download lasts well beyond the close and
        // the question it asks.
        sim::Config config;
        config.lineModel = true;
        sim::SimulatedDevice device(config);
        QVERIFY(device.start());
        std::vector<Block> blocks;
        for (std::uint32_t i = 0; i < 10; ++i) {
            blocks.push_back({0x10000 * (i + 1), pattern(10000, std::uint8_t(i))});
        }
        BoxAnswerer answerer;
        {
            WindowRun run(writeImage(dir, blocks), device.portPath());
            QObject::connect(&run.form, &QWidget::windowTitleChanged, &run.form,
                             [&] { QTimer::singleShot(0, &run.form, [&] { run.form.close(); }); });

            QVERIFY2(run.clickAndRun() == 0, qPrintable(run.story(&answerer) + heard(device)));

            QVERIFY(!run.form.isVisible());
            QVERIFY(!run.titles.isEmpty());
        }                                  // the window goes, and takes the stopped worker with it
        QCOMPARE(answerer.seen.size(), 1); // however often it was closed while the question was open
        QCOMPARE(answerer.seen[0].text, QStringLiteral("The update is still running."));
        QCOMPARE(answerer.seen[0].icon, QMessageBox::Warning);
        QVERIFY(!BoxAnswerer::anyBoxOpen());
        QVERIFY(!device.finished());
        RS232 again(device.portPath(), 115200);
        QVERIFY(!again.error);
    }

    // Told to keep updating, the window stays and the update goes on; closed again and told to stop,
    // it goes.
    void closingAndKeepingOnUpdating() {
        sim::Config config;
        config.lineModel = true; // as above: the update outlasts both questions
        sim::SimulatedDevice device(config);
        QVERIFY(device.start());
        std::vector<Block> blocks;
        for (std::uint32_t i = 0; i < 10; ++i) {
            blocks.push_back({0x10000 * (i + 1), pattern(10000, std::uint8_t(i))});
        }
        WindowRun run(writeImage(dir, blocks), device.portPath());
        BoxAnswerer answerer;
        answerer.choice = QStringLiteral("Keep updating");
        int titlesAfterKeeping = 0;
        bool visibleAfterKeeping = false;
        bool closedOnce = false;
        QObject::connect(&run.form, &QWidget::windowTitleChanged, &run.form, [&] {
            if (!closedOnce) {
                closedOnce = true;
                QTimer::singleShot(0, &run.form, [&] { run.form.close(); });
            } else if (answerer.seen.isEmpty()) {
                return; // the question is not answered yet
            } else if (answerer.choice == QStringLiteral("Keep updating") && ++titlesAfterKeeping == 5) {
                visibleAfterKeeping = run.form.isVisible();
                answerer.choice = QStringLiteral("Stop the update");
                QTimer::singleShot(0, &run.form, [&] { run.form.close(); });
            }
        });

        QVERIFY2(run.clickAndRun() == 0, qPrintable(run.story(&answerer) + heard(device)));

        QVERIFY(visibleAfterKeeping);
        QCOMPARE(titlesAfterKeeping, 5);
        QCOMPARE(answerer.seen.size(), 2);
        QCOMPARE(answerer.seen[0].text, QStringLiteral("The update is still running."));
        QCOMPARE(answerer.seen[1].text, QStringLiteral("The update is still running."));
        QVERIFY(!device.finished());
    }

    // A refused chunk: the failure box's own text stays the system's, its detail says what the device
    // now holds.
    void failureAfterTheEraseSaysWhatTheDeviceHolds() {
        sim::Config config;
        config.errorOnChunk = 1;
        sim::SimulatedDevice device(config);
        QVERIFY(device.start());
        WindowRun run(writeImage(dir, {{0x100, pattern(300, 2)}}), device.portPath());
        BoxAnswerer answerer;
        run.click();
        QTRY_COMPARE_WITH_TIMEOUT(answerer.seen.size(), 1, 20000);
        QTRY_VERIFY(!run.form.updateCommand().busy());
        QCOMPARE(answerer.seen[0].text, QStringLiteral("Firmware update failed !"));
        QCOMPARE(answerer.seen[0].caption, QStringLiteral("Error"));
        QCOMPARE(
            answerer.seen[0].detail,
            QStringLiteral("The device holds only part of the new firmware (100 of 300 bytes, up to word "
                           "0x131): run the update again before using it; it stays in update mode until "
                           "it is power-cycled."));
        QVERIFY(run.form.isVisible());
    }

    // Closing while the worker waits on its box: the box goes with the window, the worker stops,
    // and nothing is left open.
    void closingWhileTheWorkerWaitsOnItsBox() {
        sim::Config config;
        config.silent = true;
        sim::SimulatedDevice device(config);
        QVERIFY(device.start());
        bool closedOverTheBox = false;
        {
            WindowRun run(writeImage(dir, {{0x100, pattern(10, 0)}}), device.portPath());
            QTimer closer;
            QObject::connect(&closer, &QTimer::timeout, [&] {
                if (BoxAnswerer::anyBoxOpen() && !closedOverTheBox) {
                    closedOverTheBox = true;
                    run.form.close();
                }
            });
            closer.start(10);

            QVERIFY2(run.clickAndRun() == 0, qPrintable(run.story() + heard(device)));

            QVERIFY(closedOverTheBox);
            QVERIFY(!BoxAnswerer::anyBoxOpen());
        }
        QVERIFY(!BoxAnswerer::anyBoxOpen());
        RS232 again(device.portPath(), 115200);
        QVERIFY(!again.error);
    }

  private:
    QTemporaryDir dir;
};

static const bool registered = registerWindowTest<UpdateTest>("UpdateTest");

#include "UpdateTest.moc"
