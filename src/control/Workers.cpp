#include "control/Connect.h"
#include "control/Download.h"
#include "control/Erase.h"
#include "control/Failure.h"
#include "control/Session.h"
#include "control/Verify.h"
#include "link/Protocole.h"
#include "vtc880/Command.h"
#include "vtc880/ImageCheck.h"

namespace vtc880 {

// The worker bodies: each runs one operation on the link its starter opened.

Session Command::workerSession() {
    return Session(
        *protocole, observer, clock, [this] { return stopRequested(); }, progress);
}

void Command::finishRun(Outcome result) {
    progress.end(clock.now());
    // A run that got to its end is not undone by a stop asked at the last moment.
    outcome = stopRequested() && result != Outcome::succeeded ? Outcome::interrupted : result;
}

const FileCopy* Command::runImage(Session& session, FileCopy& storage, bool reportProblem) {
    if (runPreloaded) {
        progress.setImageBytes(runPreloaded->totalSize());
        return runPreloaded.get();
    }
    const LoadedImage loaded = loadImage(runFileName, storage);
    if (!loaded.ok()) {
        if (reportProblem && !session.cancelled()) {
            reportUnreadableImage(observer, runFileName, loaded.problem);
        }
        return nullptr;
    }
    progress.setImageBytes(storage.totalSize());
    return &storage;
}

void Command::ThreadConnect() {
    Session session = workerSession();
    const bool connectedNow = connectDevice(session, connected);
    finishRun(failureOf(session, connectedNow ? Outcome::succeeded : Outcome::noAnswer));
}

void Command::ThreadEraseAll() {
    Session session = workerSession();
    finishRun(failureOf(session, outcomeOf(eraseDevice(session))));
}

bool Command::ThreadDownload() {
    Outcome result = Outcome::imageError;
    {
        Session session = workerSession();
        FileCopy storage;
        if (const FileCopy* image = runImage(session, storage, true)) {
            result = downloadImage(session, *image, verifyBeforeFinish);
        }
    }
    closeCom();
    finishRun(result);
    return result == Outcome::succeeded;
}

void Command::ThreadConnectAndDownload() {
    ThreadConnectAnd(Operation::update);
}

void Command::ThreadConnectAnd(Operation operation) {
    threadActive = true;
    Outcome result = Outcome::noAnswer;
    {
        Session session = workerSession();
        // Only this run's connect counts: `connected` stays set from any earlier success.
        if (connectDevice(session, connected)) {
            session.pause(100);
            FileCopy storage;
            const FileCopy* image =
                operation == Operation::erase ? nullptr : runImage(session, storage, true);
            if (operation == Operation::erase) {
                result = outcomeOf(eraseDevice(session));
            } else if (image == nullptr) {
                result = Outcome::imageError;
            } else if (operation == Operation::verify) {
                result = outcomeOf(verifyImage(session, *image));
            } else {
                result = downloadImage(session, *image, verifyBeforeFinish);
            }
        }
        result = failureOf(session, result);
    }
    closeCom();
    finishRun(result);
    observer.ended(operation, outcome);
    connectionDone = true;
    threadActive = false;
}

void Command::ThreadVerify() {
    {
        Session session = workerSession();
        FileCopy storage;
        const FileCopy* image = runImage(session, storage, false); // a verify shows nothing of it
        finishRun(image ? failureOf(session, outcomeOf(verifyImage(session, *image))) : Outcome::imageError);
    }
    closeCom();
}

} // namespace vtc880
