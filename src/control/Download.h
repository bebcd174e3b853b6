#pragma once

#include "control/Outcome.h"
#include "control/Session.h"
#include "image/FileCopy.h"

namespace vtc880 {

// The pieces of an update, each on an open link; ThreadDownload strings them together and a front end
// may compose them otherwise (for example a verify pass between the last chunk and Finish).

// Handshake, then every block in ProgramChunk frames with progress, status and title; a block that is
// refused or not answered within three seconds stops the rest with the "Firmware update failed !"
// box. The title is restored at the end. Succeeded when the handshake and every block succeeded.
Outcome programImage(Session& session, const FileCopy& image);

// Finish with its one data byte; no reply is awaited. The device counts as updated once it went out.
void finishUpdate(Session& session);

// Erase, program, (when asked) verify the whole image on the same link, finish. Reports every failure
// itself; Finish goes out only when everything before it succeeded, since the device may leave its
// update mode on Finish. The caller destroys the link afterwards. Succeeded when the device took
// (and, when asked, compared equal to) the whole image.
Outcome downloadImage(Session& session, const FileCopy& image, bool verifyBeforeFinish = false);

// "Coult not open firmware file !" in the status box and in a message box whose detail gives the
// file's full path and what is wrong with it.
void reportUnreadableImage(Sinks& sinks, const std::string& path, const std::string& problem);

} // namespace vtc880
