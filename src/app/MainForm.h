#pragma once

#include "link/Clock.h"

#include <QImage>
#include <QWidget>
#include <chrono>
#include <memory>
#include <string>

class Command;
class UpdateRun;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTextEdit;
class WindowSinks;

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

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void MainForm_Load();
    void wireBox_SelectedIndexChanged(int index);
    void comBox_SelectedIndexChanged(int index);
    void B_Download_Click();
    void showSelectedPort();
    // Asked when the window is closed during an update: true to stop it and close.
    bool userStopsTheUpdate();

    Clock& clock;
    QImage background;
    bool loaded = false;
    bool asking = false;     // the close question is open
    bool stopChosen = false; // the user chose to stop the update

    QTextEdit* updateText;
    QLabel* label2;
    QComboBox* comBox;
    QLabel* label1;
    QComboBox* wireBox;
    QProgressBar* PB_Firm;
    QPushButton* B_Download;

    std::unique_ptr<WindowSinks> sinks;
    std::unique_ptr<Command> command; // after `sinks`: destroyed first, while they still exist
    std::unique_ptr<UpdateRun> run;   // presses of "Update" on `command`
};
