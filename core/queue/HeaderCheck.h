// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The checks a game file meets before it is queued: what the card listing,
// the boot menu and a console look at in its header, and whether its length
// agrees with the size the header gives. A file that fails them can still
// be queued (the user is asked, or the command line is given --force); the
// checks only make sure that does not happen unseen.

// The 48 logo bytes every cartridge header holds at 0x104.
constexpr uint32_t HeaderLogoOffset = 0x104;
constexpr uint32_t HeaderLogoSize = 48;
extern const uint8_t HeaderLogo[HeaderLogoSize];
// The header checksum at 0x14D over the bytes 0x134..0x14C.
constexpr uint32_t HeaderChecksumOffset = 0x14D;
uint8_t HeaderChecksum(const uint8_t* Header);   // Header: the file from byte 0, at least 0x150 bytes

// Every problem found with the game file, each a short text that follows
// the file's name ("has no Game Boy logo: the card scan and the boot menu
// will never see it"); empty when the file passes. A file that cannot be read at all gives
// that as its one problem.
std::vector<std::string> CheckGameHeader(const std::string& FileName);
// The same checks on bytes already read: Count bytes of the game from byte
// 0 (at least GameHeaderEnd for a header), Size the game's whole length.
std::vector<std::string> CheckHeaderBytes(const uint8_t* Head, int64_t Count, int64_t Size);

// The question the window asks once for a file that failed (Yes queues it
// anyway): "NAME has no Game Boy logo: ...\r\nQueue it anyway?".
std::string HeaderQuestion(const std::string& FileName, const std::vector<std::string>& Problems);
// The same problems as one line for the command line's refusal.
std::string HeaderProblemsLine(const std::string& FileName, const std::vector<std::string>& Problems);
