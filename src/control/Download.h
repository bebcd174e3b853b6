#pragma once

#include "control/Session.h"
#include "image/FileCopy.h"

// The pieces of an update, each on an open link; ThreadDownload strings them together and a front end
// may compose them otherwise (for example a verify pass between the last chunk and Finish).

// Handshake, then every block in ProgramChunk frames with progress, status and title; a block that is
// refused or not answered within three seconds stops the rest with the "Firmware update failed !"
// box. The title is restored at the end. True when the handshake and every block succeeded.
bool programImage(Session& session, const FileCopy& image);

// Finish with its one data byte; no reply is awaited.
void finishUpdate(Session& session);

// Erase, program, finish. Reports every failure itself; Finish goes out only when everything before it
// succeeded. The caller destroys the link afterwards. True when the device took the whole image.
bool downloadImage(Session& session, const FileCopy& image);

// "Coult not open firmware file !" in the status box and in a message box.
void reportUnreadableImage(Session& session);
