// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/transfer/TransferOutcome.h"
#include "core/transfer/WriteRepair.h"

class TGameQueue;
class TLink;

// What the card takes: 128 KiB of save RAM, and two pages of flash that a
// whole-flash image may cover from address 0.
constexpr uint32_t SaveRamSize = 0x20000;
constexpr uint32_t FlashImageLimit = 0x800000;

constexpr const char* WriteOpenGameError = "Open file error!";
constexpr const char* WriteCreatePackError = "Create file error!";
constexpr const char* WriteOpenSourceError = "File open error!";
// The source ended or failed before the size it had at the start was sent.
constexpr const char* WriteReadSourceError = "File read error!";
constexpr const char* WriteSaveTooLarge = "Save file too large!";
constexpr const char* WriteImageTooLarge = "Image file too large!";

// Streams one source to the card in 41-byte write packets of 32 data bytes
// (Code cmdWriteSram for save RAM, 0 for the ROM write code):
//  - FileName given: that file, at bare card addresses from 0. A ROM image
//    formats the page or pages from address 0 that it covers first; a save
//    file is not formatted and may be at most SaveRamSize long.
//  - otherwise, one queued game: its own file; two or more: the pack image
//    built for this write (and deleted afterwards). Both go to PageBase
//    onwards after the selected page is formatted.
// Sets Operating, shows progress and the estimate in status panel 1, pumps
// the front end's messages twice per packet; clearing Operating stops it at
// the next packet boundary. A packet the cable does not take whole reports
// "Error Code: N" and clears Operating. True only when every packet was sent.
// Nothing reaches the card when the source cannot be opened, the pack cannot
// be built, or the source is larger than what it is written to. Outcome,
// when given, receives how the write ended and how far it got. Sent, when
// given, receives every data byte that went out, in order: what a verify
// must find on the card, whatever happens to the file meanwhile.
// Repair (ROM images only): On writes only what differs (RepairImage, no
// format step); Ask does so when the card holds the image's first erase
// block already and the user answers yes to RepairQuestion.
bool WriteImage(const std::string& FileName, uint8_t Code, const TGameQueue& Queue, TLink& Link,
                TTransferOutcome* Outcome = nullptr, std::vector<uint8_t>* Sent = nullptr,
                TRepairMode Repair = TRepairMode::Off);
