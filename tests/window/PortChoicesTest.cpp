#include "app/PortChoices.h"

#include "WindowTests.h"
#include "app/Text.h"
#include "sim/SimulatedDevice.h"
#include "vtc880/PortDiscovery.h"

#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace vtc880;

using Names = std::vector<std::string>;
Q_DECLARE_METATYPE(Names)

namespace {

Names comPorts() {
    Names names;
    for (int n = 1; n <= 10; ++n) {
        names.push_back("COM" + std::to_string(n));
    }
    return names;
}

Names operator+(Names a, const Names& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

class PortChoicesTest : public QObject {
    Q_OBJECT

  private slots:
    void comPortsThenFoundThenNamed_data() {
        QTest::addColumn<Names>("found");
        QTest::addColumn<QByteArray>("variable"); // "<unset>" for no variable
        QTest::addColumn<Names>("expected");
        QTest::newRow("nothing found") << Names{} << QByteArray("<unset>") << comPorts();
        QTest::newRow("found") << Names{"/dev/serial/by-id/usb-A-if00", "/dev/ttyACM0"}
                               << QByteArray("<unset>")
                               << comPorts() + Names{"/dev/serial/by-id/usb-A-if00", "/dev/ttyACM0"};
        QTest::newRow("named") << Names{"/dev/ttyUSB0"} << QByteArray("/dev/pts/7:/tmp/sim")
                               << comPorts() + Names{"/dev/ttyUSB0", "/dev/pts/7", "/tmp/sim"};
        QTest::newRow("each once, empty parts skipped")
            << Names{"/dev/ttyUSB0"} << QByteArray(":/dev/ttyUSB0::COM3:/dev/pts/7:/dev/pts/7:")
            << comPorts() + Names{"/dev/ttyUSB0", "/dev/pts/7"};
        QTest::newRow("empty variable") << Names{} << QByteArray("") << comPorts();
    }
    void comPortsThenFoundThenNamed() {
        QFETCH(Names, found);
        QFETCH(QByteArray, variable);
        QFETCH(Names, expected);
        const char* value = variable == "<unset>" ? nullptr : variable.constData();
        QCOMPARE(portChoices(found, value), expected);
    }

    // A name offered in the list comes back as it was offered: UTF-8, whatever characters it has.
    void offeredNamesSurviveTheRoundTrip() {
        for (const std::string name : {"/dev/ttyUSB0", "/dev/serial/by-id/usb-caf\xc3\xa9-if00",
                                       "/tmp/\xe5\x9b\xba\xe4\xbb\xb6", "COM\xf0\x9f\x98\x80"}) {
            QCOMPARE(utf8Of(displayText(name)), name);
        }
    }

    // What a typed name must be to become a port: a terminal device that exists, under its own name
    // or a link to it.
    void serialPortsAreTerminalsThatExist() {
        sim::SimulatedDevice device;
        QVERIFY(device.start());
        QTemporaryDir dir;
        const std::string link = dir.filePath(QStringLiteral("link")).toStdString();
        std::filesystem::create_symlink(device.portPath(), link);
        const std::string file = dir.filePath(QStringLiteral("file")).toStdString();
        std::ofstream(file) << "x";
        QVERIFY(namesSerialPort(device.portPath()));
        QVERIFY(namesSerialPort(link));
        QVERIFY(!namesSerialPort("/dev/null"));
        QVERIFY(!namesSerialPort(file));
        QVERIFY(!namesSerialPort("/dev/ttyUSB-vtc880-none"));
        QVERIFY(!namesSerialPort(""));
        QVERIFY(!namesSerialPort("two words"));
    }

    void displayTextReadsUtf8AndMarksOtherBytes() {
        QCOMPARE(displayText("caf\xc3\xa9"), QStringLiteral("caf\u00e9"));
        QCOMPARE(displayText("caf\xe9"), QStringLiteral("caf\ufffd")); // not UTF-8, as on a terminal
        QCOMPARE(displayText(""), QString());
    }
};

static const bool registered = registerWindowTest<PortChoicesTest>("PortChoicesTest");

#include "PortChoicesTest.moc"
