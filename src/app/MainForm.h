#pragma once

#include "vtc880/Clock.h"

#include <QImage>
#include <QWidget>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTextEdit;

namespace vtc880 {

class Command;
struct Message;
class UpdateRun;
class WindowSinks;
class WidgetReport;

// The updater's window: the link and port choices, the "Update" button, and the status box,
// progress bar and title through which the update reports. It owns the Command for its whole life.
class MainForm : public QWidget {
    Q_OBJECT

  public:
    // `fileName`: the firmware image to send; empty means "firmware.hex". `clock` paces the update
    // (tests pass one that does not wait).
    explicit MainForm(const std::string& fileName, Clock& clock = systemClock());
    ~MainForm() override;

    Command& updateCommand() { return *command; }

    // Stops a running update: nothing more is reported or asked, the worker is told to stop, and the
    // calls it queues meanwhile are served (and dropped), so it never waits on a window that is
    // going away. True once no worker runs; false when `limit` passed first.
    bool stopUpdate(std::chrono::milliseconds limit);

    // Makes `fileName` the image the next press of "Update" sends (a file dropped on the window).
    // Refused (false) while an update runs.
    bool useFirmwareFile(const std::string& fileName);

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void MainForm_Load();
    void wireBox_SelectedIndexChanged(int index);
    void comBox_SelectedIndexChanged(int index);
    void B_Download_Click();
    // The port box's text as the port to use: an item's name selects that item, and a name of a
    // serial device becomes an item and is selected. False when the text names neither.
    bool takeTypedPort();
    // Says in the status box and the tool tips which image "Update" will send, or why it cannot.
    void showFirmwareFile();
    // More detail for a message box the update raises: what to try after a connection error.
    std::string adviceFor(const Message& message);
    // Asked when the window is closed during an update: true to stop it and close.
    bool userStopsTheUpdate();

    Clock& clock;
    QImage background;
    bool loaded = false;
    bool asking = false;     // the close question is open
    bool stopChosen = false; // the user chose to stop the update
    bool clicked = false;    // "Update" was pressed once: the status box no longer shows the image
    // The speed the last press's speed switch started at, and the first box raised on the window's
    // thread by that press (the port's), for the status box.
    std::int32_t pressSpeed = 0;
    std::string pressBox;
    bool starting = false; // within the press's start of the run

    QTextEdit* updateText;
    QLabel* label2;
    QComboBox* comBox;
    QLabel* label1;
    QComboBox* wireBox;
    QProgressBar* PB_Firm;
    QPushButton* B_Download;

    std::unique_ptr<WindowSinks> sinks;
    std::unique_ptr<WidgetReport> report; // the update's events as calls of `sinks`
    std::unique_ptr<Command> command;     // after them: destroyed first, while they still exist
    std::unique_ptr<UpdateRun> run;       // presses of "Update" on `command`
};

} // namespace vtc880
