#include "control/Command.h"
#include "control/Connect.h"
#include "control/Download.h"
#include "control/Erase.h"
#include "control/ProtocoleLink.h"
#include "control/Session.h"
#include "control/Verify.h"

// The worker bodies: each runs one operation on the link its starter opened.

void Command::finishRun(Outcome result) {
    outcome = cancelRequested ? Outcome::cancelled : result;
}

void Command::ThreadConnect() {
    ProtocoleLink link(*protocole);
    Session session(link, sinks, clock, cancelRequested);
    finishRun(connectDevice(session, connected) ? Outcome::succeeded : Outcome::noAnswer);
}

void Command::ThreadEraseAll() {
    ProtocoleLink link(*protocole);
    Session session(link, sinks, clock, cancelRequested);
    finishRun(outcomeOf(eraseDevice(session)));
}

bool Command::ThreadDownload() {
    Outcome result = Outcome::imageError;
    {
        ProtocoleLink link(*protocole);
        Session session(link, sinks, clock, cancelRequested);
        FileCopy image;
        if (firmwareExtract(runFileName, image) != 0) {
            reportUnreadableImage(session);
        } else {
            result = downloadImage(session, image, verifyBeforeFinish);
        }
    }
    closeCom();
    finishRun(result);
    return result == Outcome::succeeded;
}

void Command::ThreadConnectAndDownload() {
    threadActive = true;
    bool connectedNow = false;
    {
        ProtocoleLink link(*protocole);
        Session session(link, sinks, clock, cancelRequested);
        // Only this run's connect counts: `connected` stays set from any earlier success.
        connectedNow = connectDevice(session, connected);
        if (connectedNow) {
            session.pause(100);
        }
    }
    if (connectedNow) {
        if (ThreadDownload() && !cancelRequested) {
            Message box;
            box.text = "Firmware updated !\nClick OK to close VTC880 Firmware Updater";
            box.caption = "VTC880 updated";
            box.icon = MessageIcon::information;
            sinks.messageBox(box);
            sinks.exitApplication();
        }
    } else {
        closeCom();
        finishRun(Outcome::noAnswer);
    }
    connectionDone = true;
    threadActive = false;
}

void Command::ThreadVerify() {
    {
        ProtocoleLink link(*protocole);
        Session session(link, sinks, clock, cancelRequested);
        FileCopy image;
        finishRun(firmwareExtract(runFileName, image) == 0 ? outcomeOf(verifyImage(session, image))
                                                           : Outcome::imageError);
    }
    closeCom();
}
