#pragma once

#include "control/Session.h"
#include "vtc880/FileCopy.h"
#include "vtc880/Outcome.h"

namespace vtc880 {

// The pieces of an update, each on an open link; ThreadDownload strings them together and a front end
// may compose them otherwise (for example a verify pass between the last chunk and Finish).

// Handshake, then every block in ProgramChunk frames with its progress; a block that is refused or not
// answered within three seconds stops the rest, told as a failed update. Succeeded when the handshake
// and every block succeeded.
Outcome programImage(Session& session, const FileCopy& image);

// Finish with its one data byte; no reply is awaited. The device counts as updated once it went out.
void finishUpdate(Session& session);

// Erase, program, (when asked) verify the whole image on the same link, finish. Reports every failure
// itself; Finish goes out only when everything before it succeeded, since the device may leave its
// update mode on Finish. The caller destroys the link afterwards. Succeeded when the device took
// (and, when asked, compared equal to) the whole image.
Outcome downloadImage(Session& session, const FileCopy& image, bool verifyBeforeFinish = false);

// An image that cannot be sent, told with the file's full path and what is wrong with it.
void reportUnreadableImage(RunObserver& observer, const std::string& path, const std::string& problem);

} // namespace vtc880
