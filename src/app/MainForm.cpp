#include "app/MainForm.h"

#include "app/Artwork.h"
#include "app/PortChoices.h"
#include "app/Text.h"
#include "app/WindowSinks.h"
#include "vtc880/Command.h"
#include "vtc880/DeviceCodes.h"
#include "vtc880/DeviceStateText.h"
#include "vtc880/Format.h"
#include "vtc880/ImageBuilder.h"
#include "vtc880/ImageCheck.h"
#include "vtc880/LinkTable.h"
#include "vtc880/PortDiscovery.h"
#include "vtc880/PortName.h"
#include "vtc880/UpdateRun.h"
#include "vtc880/WidgetReport.h"

#include <QAbstractItemView>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QTextEdit>
#include <QThread>
#include <filesystem>
#include <initializer_list>
#include <system_error>
#include <thread>

namespace vtc880 {

namespace {

constexpr int clientWidth = 568;
constexpr int clientHeight = 328;

// The window's typeface where the machine has it, otherwise a sans-serif of similar build.
QString uiFamily() {
    const QStringList families = QFontDatabase::families();
    for (const char* family : {"Microsoft Sans Serif", "Liberation Sans", "Arimo", "DejaVu Sans"}) {
        if (families.contains(QString::fromLatin1(family), Qt::CaseInsensitive)) {
            return QString::fromLatin1(family);
        }
    }
    return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
}

// Sizes in pixels as the layout was drawn at 96 dots per inch (8.25 points is 11 pixels, 12 points
// 16), so the text fits the fixed positions whatever the screen's logical resolution; a scaled
// screen scales the whole window.
QFont uiFont(int pixels, bool bold = false) {
    QFont font(uiFamily());
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

QComboBox* makeChoiceBox(QWidget* parent) {
    auto* box = new QComboBox(parent);
    box->setEditable(true);                    // editable text with a drop-down list
    box->setInsertPolicy(QComboBox::NoInsert); // typed text never becomes an item
    return box;
}

// The one local file a drag carries, or nothing.
std::string droppedFile(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls() || data->urls().size() != 1 ||
        !data->urls().front().isLocalFile()) {
        return {};
    }
    // File names are bytes to the system: its own encoding, not the low bytes the port names keep.
    return QFile::encodeName(data->urls().front().toLocalFile()).toStdString();
}

} // namespace

MainForm::MainForm(const std::string& fileName, Clock& clock) : QWidget(nullptr), clock(clock) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(clientWidth, clientHeight);
    setWindowTitle(QStringLiteral(" VTC880 - Firmware Update"));
    setWindowIcon(programIcon());
    setFont(uiFont(11));
    background = backgroundPicture();

    // Created in the order they are added to the window.
    updateText = new QTextEdit(this);
    updateText->setObjectName(QStringLiteral("updateText"));
    updateText->setGeometry(235, 147, 279, 45);
    updateText->setFrameShape(QFrame::NoFrame);
    updateText->setFont(uiFont(16));
    updateText->setTabChangesFocus(true);
    // Two lines of the status font fit the box's 45 pixels only with a thin margin; a longer status
    // (a file's problem, a long port name) would otherwise bring up a scroll bar.
    updateText->document()->setDocumentMargin(2);

    label2 = new QLabel(QStringLiteral("Connection information"), this);
    label2->setObjectName(QStringLiteral("label2"));
    label2->move(42, 90);
    label2->adjustSize();

    comBox = makeChoiceBox(this);
    comBox->setObjectName(QStringLiteral("comBox"));
    comBox->setGeometry(57, 139, 79, 21);

    label1 = new QLabel(QStringLiteral("VTC880 Update"), this);
    label1->setObjectName(QStringLiteral("label1"));
    label1->setFont(uiFont(16, true));
    label1->move(403, 18);
    label1->adjustSize();

    wireBox = makeChoiceBox(this);
    wireBox->setObjectName(QStringLiteral("wireBox"));
    wireBox->setGeometry(57, 112, 79, 21);

    PB_Firm = new QProgressBar(this);
    PB_Firm->setObjectName(QStringLiteral("PB_Firm"));
    PB_Firm->setGeometry(0, clientHeight - 22, clientWidth, 22); // along the bottom edge
    PB_Firm->setTextVisible(false);
    PB_Firm->setRange(0, 100);
    PB_Firm->setValue(0);

    B_Download = new QPushButton(QStringLiteral("Update"), this);
    B_Download->setObjectName(QStringLiteral("B_Download"));
    B_Download->setGeometry(257, 104, 166, 21);

    // The first control added lies on top of the later ones.
    for (QWidget* control :
         std::initializer_list<QWidget*>{updateText, label2, comBox, label1, wireBox, PB_Firm, B_Download}) {
        control->lower();
    }
    setTabOrder(B_Download, wireBox);
    setTabOrder(wireBox, comBox);
    setTabOrder(comBox, updateText);

    connect(B_Download, &QPushButton::clicked, this, &MainForm::B_Download_Click);
    connect(wireBox, &QComboBox::currentIndexChanged, this, &MainForm::wireBox_SelectedIndexChanged);
    // Choosing the link again, even the one already chosen, makes the next speed switch start from
    // its speed: the way back after an attempt that left the speed at 115200.
    connect(wireBox, &QComboBox::activated, this, &MainForm::wireBox_SelectedIndexChanged);
    connect(comBox, &QComboBox::currentIndexChanged, this, &MainForm::comBox_SelectedIndexChanged);
    connect(comBox->lineEdit(), &QLineEdit::editingFinished, this, [this] { takeTypedPort(); });
    setAcceptDrops(true);

    sinks = std::make_unique<WindowSinks>(*this, *updateText, *PB_Firm);
    sinks->addDetail([this](const Message& message) { return adviceFor(message); });
    report = std::make_unique<WidgetReport>(*sinks);
    command = std::make_unique<Command>("COM3", linkEntry(LinkKind::usb).initialSpeed, *report, clock);
    command->fileName = fileName.empty() ? std::string("firmware.hex") : fileName;
    run = std::make_unique<UpdateRun>(*command, clock);
}

MainForm::~MainForm() {
    // Waiting here, not only in the Command's destructor, serves the calls the worker queues meanwhile.
    stopUpdate(std::chrono::milliseconds::max());
}

void MainForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!loaded) {
        loaded = true;
        MainForm_Load();
    }
}

void MainForm::MainForm_Load() {
    for (const LinkEntry& link : links) {
        wireBox->addItem(QString::fromUtf8(link.label));
    }
    wireBox->setCurrentIndex(0);
    QStringList ports;
    for (const std::string& port : portChoices()) {
        ports << displayText(port);
    }
    comBox->addItems(ports);
    comBox->setCurrentIndex(0);
    // The box is narrow; its list opens wide enough to show whole device paths.
    comBox->view()->setMinimumWidth(comBox->view()->sizeHintForColumn(0) + 24);
    B_Download->setFocus();
    showFirmwareFile();
}

void MainForm::showFirmwareFile() {
    const std::string& path = command->fileName;
    std::error_code error;
    const std::filesystem::path full = std::filesystem::absolute(path, error);
    FileCopy image;
    const LoadedImage check = loadImage(path, image);
    const std::string name = std::filesystem::path(path).filename().string();
    std::string shown;
    if (check.ok()) {
        const std::string version = imageVersion(image);
        shown = name + (version.empty() ? "" : ", version " + version) + " (" +
                groupedThousands(image.totalSize()) + " bytes)";
    } else {
        shown = name + ": " + check.problem;
    }
    const QString tip = displayText((error ? path : full.string()) + "\n" + shown);
    setToolTip(tip);
    updateText->setToolTip(tip);
    if (!clicked) {
        // Before the first press: which image "Update" sends, or why it cannot.
        updateText->setPlainText(displayText(shown));
    }
}

bool MainForm::useFirmwareFile(const std::string& fileName) {
    if (command->busy() || fileName.empty()) {
        return false;
    }
    command->fileName = fileName;
    clicked = false; // the status box shows the new image until the next press
    showFirmwareFile();
    return true;
}

void MainForm::dragEnterEvent(QDragEnterEvent* event) {
    if (!command->busy() && !droppedFile(event->mimeData()).empty()) {
        event->acceptProposedAction();
    }
}

void MainForm::dropEvent(QDropEvent* event) {
    if (useFirmwareFile(droppedFile(event->mimeData()))) {
        event->acceptProposedAction();
    }
}

std::string MainForm::adviceFor(const Message& message) {
    if (starting && pressBox.empty()) {
        pressBox = message.text; // raised by the press itself, before any worker: the port's box
    }
    RunProblem connectionError;
    connectionError.kind = RunProblem::Kind::connectionError;
    if (message.text != WidgetReport::boxFor(connectionError).text) {
        return {};
    }
    std::string advice = "The device did not answer. Check the link choice (\"RS-232\" for a serial cable, "
                         "\"USB\" for the USB link), the cable, and that the device is powered.";
    if (pressSpeed == Speed::update) {
        advice += " This attempt sent its speed commands at 115200 bit/s, as every attempt after the first "
                  "does. A device that was restarted since listens at its link's speed again: choose the "
                  "link again (\"RS-232\" or \"USB\", the same one will do) and the next attempt starts from "
                  "that speed.";
    }
    return advice;
}

void MainForm::wireBox_SelectedIndexChanged(int index) {
    if (index >= 0 && std::size_t(index) < links.size()) {
        command->changeBaudRate2(links[std::size_t(index)].initialSpeed);
    }
}

void MainForm::comBox_SelectedIndexChanged(int index) {
    if (index >= 0) {
        command->changeComPort(utf8Of(comBox->itemText(index)));
    }
}

bool MainForm::takeTypedPort() {
    const QString typed = comBox->currentText();
    const int index = comBox->currentIndex();
    if (index >= 0 && typed == comBox->itemText(index)) {
        return true;
    }
    const std::string name = utf8Of(typed);
    if (name.empty()) {
        return false;
    }
    // "com2" is COM2 and "/dev/ttyS1" too: each names that item.
    const std::string path = devicePathFor(name);
    for (int i = 0; i < comBox->count(); ++i) {
        const std::string item = utf8Of(comBox->itemText(i));
        if (item == name || (!path.empty() && devicePathFor(item) == path)) {
            comBox->setCurrentIndex(i);
            comBox->setEditText(comBox->itemText(i));
            return true;
        }
    }
    if (!namesSerialPort(name)) {
        return false;
    }
    comBox->addItem(displayText(name));
    comBox->setCurrentIndex(comBox->count() - 1);
    return true;
}

void MainForm::B_Download_Click() {
    // busy() is threadActive, and also the moment between the start of a worker and its setting
    // threadActive: a click queued while this handler held the window must start nothing.
    if (command->busy()) {
        return;
    }
    clicked = true;
    // Only a port the user chose is ever sent to: text that names none refuses the press.
    if (!takeTypedPort()) {
        const std::string typed = utf8Of(comBox->currentText());
        sinks->setStatusText(typed.empty() ? "Choose a port from the list."
                                           : "No serial port \"" + typed + "\": choose one from the list.");
        return;
    }
    const int index = comBox->currentIndex();
    RunSettings settings;
    settings.port = index >= 0 ? utf8Of(comBox->itemText(index)) : command->portName();
    settings.imagePath = command->fileName;
    pressSpeed = command->baudRate();
    pressBox.clear();
    starting = true;
    // The speed switch and its pause hold the window, as they always did.
    const bool started = run->start(settings);
    starting = false;
    const Outcome outcome = run->result().outcome;
    if (!started && (outcome == Outcome::portError || outcome == Outcome::noWorker) && !pressBox.empty()) {
        sinks->setStatusText(pressBox); // the failure stays in view, not "Connecting to VTC880 ..."
    }
}

bool MainForm::userStopsTheUpdate() {
    QMessageBox question(QMessageBox::Warning, windowTitle(), QStringLiteral("The update is still running."),
                         QMessageBox::NoButton, this);
    question.setInformativeText(
        QStringLiteral("If you stop it now, the device is left without complete firmware: it will need "
                       "another update before it can be used."));
    QPushButton* stop = question.addButton(QStringLiteral("Stop the update"), QMessageBox::DestructiveRole);
    QPushButton* keep = question.addButton(QStringLiteral("Keep updating"), QMessageBox::RejectRole);
    question.setDefaultButton(keep);
    question.setEscapeButton(keep);
    question.exec();
    return question.clickedButton() == stop;
}

void MainForm::closeEvent(QCloseEvent* event) {
    // Once the device's firmware is being replaced, the update is stopped only if the user says so; the
    // worker goes on while the question is open. Before that (the device still holds its firmware)
    // and after a successful update (which ends the program itself) the window just closes.
    const bool updating = !stopChosen && command->busy() && command->outcome.load() != Outcome::succeeded &&
                          !firmwareAtRiskText(command->report().device).empty();
    if (asking) {
        event->ignore(); // the question already asked decides
        return;
    }
    if (updating) {
        asking = true;
        const bool stop = userStopsTheUpdate();
        asking = false;
        if (!stop) {
            event->ignore();
            return;
        }
        stopChosen = true; // the quit that follows closes the window again: asked once is enough
    }
    // Nothing more is reported or asked, and the worker ends at its next check. Whoever ends the
    // program waits for it (stopUpdate).
    sinks->close();
    run->requestStop();
    event->accept();
}

bool MainForm::stopUpdate(std::chrono::milliseconds limit) {
    sinks->close();
    run->requestStop();
    const auto start = std::chrono::steady_clock::now();
    while (command->busy()) {
        if (std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start) >
            limit) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

void MainForm::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect above(0, 0, width(), PB_Firm->y());
    painter.fillRect(rect(), palette().window());
    painter.drawImage(above, background, above); // cut at the right edge, not scaled
}

} // namespace vtc880
