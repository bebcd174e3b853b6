#pragma once

#include <cstdint>

namespace vtc880 {

// What travels between the updater and the VTC880, and the limits the updater keeps while it waits.
// The updater's protocol code and the simulated device share these names, not their code.

// Command codes sent to the device (two bytes on the wire, low byte first).
namespace Code {
constexpr std::uint16_t Handshake = 0x4454;      // 'T' 'D'
constexpr std::uint16_t EraseTimeQuery = 0x5446; // 'F' 'T'
constexpr std::uint16_t EraseAll = 0x4146;       // 'F' 'A'
constexpr std::uint16_t ProgramChunk = 0x5046;   // 'F' 'P'
constexpr std::uint16_t VerifyChunk = 0x5646;    // 'F' 'V'
constexpr std::uint16_t Finish = 0x4546;         // 'F' 'E'
} // namespace Code

// Command byte of the device's replies.
namespace Reply {
constexpr std::uint8_t Ack = '!';
constexpr std::uint8_t ErrorReply = 'E';
} // namespace Reply

namespace Frame {
constexpr std::uint8_t start = '*';
constexpr std::uint8_t end = '+';
constexpr std::uint32_t sentHeaderSize = 7;      // start, 2-byte command, 4-byte length
constexpr std::uint32_t receivedHeaderSize = 6;  // start, 1-byte command, 4-byte length
constexpr std::uint32_t trailerSize = 2;         // end byte, checksum
constexpr std::uint32_t receiveCapacity = 16384; // longest reply data the updater takes
} // namespace Frame

// Data of ProgramChunk and VerifyChunk: 32-bit word address, 32-bit byte count, the bytes.
namespace Chunk {
constexpr std::uint32_t addressOffset = 0;
constexpr std::uint32_t countOffset = 4;
constexpr std::uint32_t bytesOffset = 8;
constexpr std::uint32_t maxBytes = 100;
constexpr std::uint32_t maxPayload = bytesOffset + maxBytes;
} // namespace Chunk

// The one data byte of Finish.
constexpr std::uint8_t finishSelector = 0x03;

// ASCII commands that precede the frames.
namespace Preamble {
constexpr const char* firmwareUpdate = "FIRMWAREUPDATE\r";
constexpr const char* enterUpdate = "$KQ-";
constexpr int charPauseMs = 10;                 // after each preamble character
constexpr const char* speedFormat = "%dBR%d\r"; // stage, speed
constexpr int speedCharPauseMs = 50;            // after each speed-command character
constexpr int settleMs = 2000;                  // after the preamble, before the first frame
} // namespace Preamble

// Line speeds: the conversation's after the speed switch, and each link's before it (LinkTable.h).
namespace Speed {
constexpr std::int32_t update = 115200;
constexpr std::int32_t rs232Initial = 19200;
constexpr std::int32_t usbInitial = 921600;
} // namespace Speed

// How long the updater waits for each reply.
namespace Limits {
constexpr int handshakePolls = 10;    // over all re-sends of one handshake loop
constexpr int eraseTimePolls = 10;    // EraseTimeQuery
constexpr int eraseExtraPolls = 5000; // EraseAll: announced time in ms plus this many polls
// The longest erase the updater waits for, whatever the device announces: a whole firmware erase
// takes seconds; an announced 0x7FFFFFFF ms (about 25 days) is a fault, not a time to wait.
constexpr std::int32_t eraseCeilingMs = 5 * 60 * 1000;
constexpr double chunkReplySeconds = 3.0; // each ProgramChunk and VerifyChunk
constexpr int openTimeoutMs = 100; // read time-out right after opening; each poll sets its own (Link.h)
} // namespace Limits

} // namespace vtc880
