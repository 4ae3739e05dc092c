#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "uecp/ByteBuffer.h"
#include "uecp/UECPMessage.h"

constexpr uint8_t kFrameStart = 0xFE;
constexpr uint8_t kFrameStop = 0xFF;
constexpr uint8_t kStuffEscape = 0xFD;
// Start and stop byte plus 2 x 261 for a 255-byte field where every byte needs stuffing.
constexpr int32_t kMaxStuffedFrame = 524;
// A field of n bytes makes a frame of n + 8 bytes before stuffing.
constexpr int32_t kFrameOverhead = 8;
// Received CRC bytes "RS" are accepted without computing the CRC.
constexpr uint16_t kCrcBypass = 0x5253;

// CRC-16-CCITT (0x1021, init 0xFFFF, not reflected, inverted), byte-wise without a table.
uint16_t Crc16(const uint8_t* bytes, int32_t count);
bool CheckCrc(const uint8_t* bytes, int32_t count, uint16_t received);

// Both work on whole frames (start byte first, stop byte last) and leave those two alone.
// `dest` must hold kMaxStuffedFrame bytes; Stuff accepts frames of up to 263 bytes.
void Stuff(const uint8_t* source, int32_t length, uint8_t* dest, int32_t& destLength);
void Unstuff(const uint8_t* source, int32_t length, uint8_t* dest, int32_t& destLength);

void BuildFrame(const UECPMessage& message, uint8_t sequenceCounter, uint8_t* dest,
                int32_t& destLength);

// Reads one delivered frame (still stuffed). Never reads outside it: a frame of fewer than 8
// unstuffed bytes gives an empty field with a bad CRC; a length byte beyond the frame gives the
// claimed size with the missing bytes zero.
std::unique_ptr<FrameData> ParseFrame(const uint8_t* frame, int32_t length);

// Building blocks of the parsers. UnstuffDelivered refuses what no assembler delivers (more than
// 524 bytes). FrameFromUnstuffed takes `fieldLength` bytes from offset 5, zero past the frame,
// and checks the CRC over whatever lies between start byte and CRC field.
bool UnstuffDelivered(const uint8_t* frame, int32_t length, uint8_t* work, int32_t& m);
std::unique_ptr<FrameData> FrameFromUnstuffed(const uint8_t* work, int32_t m, int32_t fieldLength);

std::string HexDump(const uint8_t* bytes, int32_t count, char separator, bool upperCase);
