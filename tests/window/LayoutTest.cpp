#include "WindowTests.h"
#include "app/MainForm.h"
#include "vtc880/Command.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

using namespace vtc880;

namespace {

QString shownText(QWidget* control) {
    if (auto* label = qobject_cast<QLabel*>(control)) {
        return label->text();
    }
    if (auto* button = qobject_cast<QPushButton*>(control)) {
        return button->text();
    }
    if (auto* box = qobject_cast<QComboBox*>(control)) {
        return box->currentText();
    }
    if (auto* edit = qobject_cast<QTextEdit*>(control)) {
        return edit->toPlainText();
    }
    return {};
}

QStringList items(const QComboBox* box) {
    QStringList texts;
    for (int i = 0; i < box->count(); ++i) {
        texts << box->itemText(i);
    }
    return texts;
}

// A window as it stands once loaded and shown.
struct LoadedForm {
    explicit LoadedForm(const std::string& fileName = "") : form(fileName) {
        form.show();
        form.activateWindow();
    }
    template <typename Control> Control* control(const char* name) {
        return form.findChild<Control*>(QString::fromLatin1(name));
    }
    MainForm form;
};

} // namespace

class LayoutTest : public QObject {
    Q_OBJECT

  private slots:
    // In a folder without firmware.hex, whatever folder the tests run in.
    void initTestCase() {
        QVERIFY(empty.isValid());
        previous = QDir::currentPath();
        QDir::setCurrent(empty.path());
    }
    void cleanupTestCase() { QDir::setCurrent(previous); }

    void controlsAfterLoad_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry"); // width and height 0: sized to its text
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("pixelSize");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<bool>("focusable");
        auto row = [](const char* name, QRect geometry, const char* text, int pixels, bool bold,
                      bool focusable) {
            QTest::newRow(name) << QString::fromLatin1(name) << geometry << QString::fromLatin1(text)
                                << pixels << bold << focusable;
        };
        row("PB_Firm", {0, 306, 568, 22}, "", 11, false, false);
        row("B_Download", {257, 104, 166, 21}, "Update", 11, false, true);
        row("wireBox", {57, 112, 79, 21}, "RS-232", 11, false, true);
        row("label1", {403, 18, 0, 0}, "VTC880 Update", 16, true, false);
        row("label2", {42, 90, 0, 0}, "Connection information", 11, false, false);
        row("comBox", {57, 139, 79, 21}, "COM1", 11, false, true);
        // Before the first press the status box says what "Update" would send: here, nothing.
        row("updateText", {235, 147, 279, 45}, "firmware.hex: cannot open the file: check the path", 16,
            false, true);
    }
    void controlsAfterLoad() {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        QFETCH(QString, text);
        QFETCH(int, pixelSize);
        QFETCH(bool, bold);
        QFETCH(bool, focusable);
        LoadedForm loaded;
        auto* control = loaded.form.findChild<QWidget*>(name);
        QVERIFY(control != nullptr);
        QCOMPARE(control->parentWidget(), &loaded.form);
        QVERIFY(control->isVisible());
        QCOMPARE(control->pos(), geometry.topLeft());
        if (geometry.width() > 0) {
            QCOMPARE(control->size(), geometry.size());
        } else {
            QCOMPARE(control->size(), control->sizeHint()); // the whole text shows, and no more
        }
        QCOMPARE(shownText(control), text);
        QCOMPARE(control->font().pixelSize(), pixelSize);
        QCOMPARE(control->font().bold(), bold);
        QCOMPARE(control->focusPolicy() != Qt::NoFocus, focusable);
    }

    void windowAfterLoad() {
        LoadedForm loaded;
        MainForm& form = loaded.form;
        QCOMPARE(form.objectName(), QStringLiteral("MainForm"));
        QCOMPARE(form.windowTitle(), QStringLiteral(" VTC880 - Firmware Update"));
        QCOMPARE(form.size(), QSize(568, 328));
        QCOMPARE(form.minimumSize(), form.maximumSize()); // fixed border: no resizing
        QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(form.windowFlags() & Qt::WindowMinimizeButtonHint);
        QVERIFY(form.windowFlags() & Qt::WindowCloseButtonHint);
        const QList<QSize> iconSizes = form.windowIcon().availableSizes();
        QVERIFY(iconSizes.contains(QSize(16, 16)) && iconSizes.contains(QSize(32, 32)));

        QCOMPARE(items(loaded.control<QComboBox>("wireBox")), (QStringList{"RS-232", "USB"}));
        const QStringList ports = items(loaded.control<QComboBox>("comBox"));
        QVERIFY(ports.size() >= 10);
        QCOMPARE(ports.mid(0, 10), (QStringList{"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7",
                                                "COM8", "COM9", "COM10"}));
        QCOMPARE(loaded.control<QComboBox>("wireBox")->currentIndex(), 0);
        QCOMPARE(loaded.control<QComboBox>("comBox")->currentIndex(), 0);
        QCOMPARE(form.updateCommand().baudRate(), 19200);
        QCOMPARE(form.updateCommand().portName(), std::string("COM1"));
        QCOMPARE(form.updateCommand().fileName, std::string("firmware.hex"));
        QCOMPARE(form.focusWidget(), loaded.control<QWidget>("B_Download"));
        QCOMPARE(loaded.control<QProgressBar>("PB_Firm")->value(), 0);
        QVERIFY(!loaded.control<QTextEdit>("updateText")->isReadOnly());

        // The first control added lies on top: stacking order, bottom to top.
        QStringList stacking;
        for (QObject* child : form.children()) {
            if (child->isWidgetType()) {
                stacking << child->objectName();
            }
        }
        QCOMPARE(stacking, (QStringList{"B_Download", "PB_Firm", "wireBox", "label1", "comBox", "label2",
                                        "updateText"}));
    }

    void fileNameGivenIsKept() {
        LoadedForm loaded("new.bin");
        QCOMPARE(loaded.form.updateCommand().fileName, std::string("new.bin"));
    }

    void tabMovesThroughTheControlsInOrder() {
        LoadedForm loaded;
        QVERIFY(QTest::qWaitForWindowActive(&loaded.form));
        QStringList visited;
        for (int i = 0; i < 5; ++i) {
            QWidget* focused = QApplication::focusWidget();
            QVERIFY(focused != nullptr);
            // An editable combo box passes the focus to its line edit.
            QWidget* control = focused->parentWidget() == &loaded.form ? focused : focused->parentWidget();
            visited << control->objectName();
            QTest::keyClick(focused, Qt::Key_Tab);
        }
        QCOMPARE(visited, (QStringList{"B_Download", "wireBox", "comBox", "updateText", "B_Download"}));
    }

    void linkChoiceSetsTheSpeedBothWays() {
        LoadedForm loaded;
        auto* wireBox = loaded.control<QComboBox>("wireBox");
        Command& command = loaded.form.updateCommand();
        const std::pair<int, int> steps[] = {{1, 921600}, {0, 19200}, {1, 921600}, {0, 19200}};
        for (const auto& [index, speed] : steps) {
            wireBox->setCurrentIndex(index);
            QCOMPARE(command.baudRate(), speed);
        }
    }

    void portChoiceIsItsUtf8Text_data() {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QByteArray>("port");
        QTest::newRow("plain") << QStringLiteral("COM4") << QByteArray("COM4");
        QTest::newRow("path") << QStringLiteral("/dev/ttyUSB0") << QByteArray("/dev/ttyUSB0");
        QTest::newRow("Latin-1") << QStringLiteral("COM\u00e9") << QByteArray("COM\xc3\xa9");
        QTest::newRow("beyond Latin-1")
            << QStringLiteral("COM\u0141\u20ac") << QByteArray("COM\xc5\x81\xe2\x82\xac");
    }
    void portChoiceIsItsUtf8Text() {
        QFETCH(QString, item);
        QFETCH(QByteArray, port);
        LoadedForm loaded;
        auto* comBox = loaded.control<QComboBox>("comBox");
        comBox->addItem(item);
        comBox->setCurrentIndex(comBox->count() - 1);
        QCOMPARE(loaded.form.updateCommand().portName(), port.toStdString());
    }

    // Typed text counts once it names a port: an item's name (in any case, for COMn) selects that
    // item, a serial port becomes an item and is selected. Other text selects nothing and stays as
    // typed, for the press of "Update" to refuse.
    void typedTextSelectsOnlyPorts_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("selected"); // the item selected afterwards
        QTest::addColumn<QString>("shown");    // the box's text afterwards
        QTest::newRow("item") << "COM7"
                              << "COM7"
                              << "COM7";
        QTest::newRow("item in lower case") << "com3"
                                            << "COM3"
                                            << "COM3";
        QTest::newRow("item by its device") << "/dev/ttyS4"
                                            << "COM5"
                                            << "COM5";
        QTest::newRow("no such device") << "/dev/ttyUSB-vtc880-none"
                                        << "COM1"
                                        << "/dev/ttyUSB-vtc880-none";
        QTest::newRow("a character device, not a port") << "/dev/null"
                                                        << "COM1"
                                                        << "/dev/null";
        QTest::newRow("words") << "my adapter"
                               << "COM1"
                               << "my adapter";
    }
    void typedTextSelectsOnlyPorts() {
        QFETCH(QString, typed);
        QFETCH(QString, selected);
        QFETCH(QString, shown);
        LoadedForm loaded;
        QVERIFY(QTest::qWaitForWindowActive(&loaded.form));
        auto* comBox = loaded.control<QComboBox>("comBox");
        const int items = comBox->count();
        comBox->setFocus();
        comBox->lineEdit()->clear();
        QTest::keyClicks(comBox->lineEdit(), typed);
        QTest::keyClick(comBox->lineEdit(), Qt::Key_Return);
        QCOMPARE(comBox->itemText(comBox->currentIndex()), selected);
        QCOMPARE(loaded.form.updateCommand().portName(), selected.toStdString());
        QCOMPARE(comBox->currentText(), shown);
        QCOMPARE(comBox->count(), items);
    }

  private:
    QTemporaryDir empty;
    QString previous;
};

static const bool registered = registerWindowTest<LayoutTest>("LayoutTest");

#include "LayoutTest.moc"
