// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Runs the built flashquill-cli as a user would, in a process of its own on
// an emulated card kept in a scratch folder, and reads what it left behind.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/FileBytes.h"
#include "tests/support/TempFolder.h"

namespace fs = std::filesystem;

// A game file with a whole header: the logo at 0x104 (whose tail at 0x130
// the listing looks for), the title at 0x134, the ROM-size code of Size at
// 0x148 and the header checksum at 0x14D; the rest bytes that differ from
// game to game.
inline std::vector<uint8_t> MakeGame(const std::string& Title, uint32_t Size) {
  std::vector<uint8_t> Bytes(Size);
  uint32_t State = static_cast<uint32_t>(std::hash<std::string>{}(Title)) | 1;
  for (auto& Byte : Bytes) {
    State = State * 1664525u + 1013904223u;
    Byte = static_cast<uint8_t>(State >> 24);
  }
  std::fill(Bytes.begin() + 0x104, Bytes.begin() + 0x150, 0);
  const uint8_t Tail[4] = {0xBB, 0xB9, 0x33, 0x3E};
  std::copy(Tail, Tail + 4, Bytes.begin() + 0x130);
  std::copy(Title.begin(), Title.begin() + static_cast<std::ptrdiff_t>(std::min<size_t>(Title.size(), 16)),
            Bytes.begin() + 0x134);
  uint8_t Code = 0;
  while ((0x8000u << Code) < Size) ++Code;
  Bytes[0x148] = Code;
  const uint8_t Logo[48] = {0xCE, 0xED, 0x66, 0x66, 0xCC, 0x0D, 0x00, 0x0B, 0x03, 0x73, 0x00, 0x83,
                            0x00, 0x0C, 0x00, 0x0D, 0x00, 0x08, 0x11, 0x1F, 0x88, 0x89, 0x00, 0x0E,
                            0xDC, 0xCC, 0x6E, 0xE6, 0xDD, 0xDD, 0xD9, 0x99, 0xBB, 0xBB, 0x67, 0x63,
                            0x6E, 0x0E, 0xEC, 0xCC, 0xDD, 0xDC, 0x99, 0x9F, 0xBB, 0xB9, 0x33, 0x3E};
  std::copy(Logo, Logo + 48, Bytes.begin() + 0x104);
  uint8_t Sum = 0;
  for (size_t I = 0x134; I < 0x14D; ++I) Sum = static_cast<uint8_t>(Sum - Bytes[I] - 1);
  Bytes[0x14D] = Sum;
  return Bytes;
}

struct TRun {
  int Status = -1;          // exit status; 128 + n when killed by signal n
  std::string Out, Err;
  // The lines of standard error.
  std::vector<std::string> ErrLines() const {
    std::vector<std::string> Lines;
    std::istringstream In(Err);
    for (std::string Line; std::getline(In, Line);) Lines.push_back(Line);
    return Lines;
  }
};

// One 'W' or 'M' packet of a trace: the bytes it put on the card.
struct TTracedWrite {
  uint8_t Code;
  uint32_t Address;
  std::vector<uint8_t> Data;
};

class TCliRig : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(FFolder.Valid());
    FDir = FFolder.Path();
    fs::create_directories(FDir / "tmp");
    fs::create_directories(FDir / "data");
  }

public:
  std::string Path(const std::string& Name) const { return (FDir / Name).string(); }
  std::string CardDir() const { return Path("card"); }
  std::string TracePath() const { return Path("trace.txt"); }

  std::string AddGame(const std::string& File, const std::string& Title, uint32_t Size) {
    WriteBytes(Path(File), MakeGame(Title, Size));
    return Path(File);
  }

  // The command line for the emulated card of this test, traced.
  std::vector<std::string> Cli(std::vector<std::string> Args, bool Trace = true) const {
    std::vector<std::string> Line = {"--emulate=" + CardDir()};
    if (Trace) Line.push_back("--trace=" + TracePath());
    Line.insert(Line.end(), Args.begin(), Args.end());
    return Line;
  }

  // Runs the program with standard input from /dev/null and both outputs
  // captured. With OnTerminal, standard error is a terminal instead, and
  // OnTerminal sees its output as it comes; it may signal the program.
  TRun Run(const std::vector<std::string>& Args,
           const std::function<void(pid_t, const std::string& SoFar)>& OnTerminal = nullptr) const {
    int OutPipe[2], ErrPipe[2] = {-1, -1}, Master = -1, Slave = -1;
    EXPECT_EQ(::pipe(OutPipe), 0);
    if (OnTerminal)
      EXPECT_EQ(::openpty(&Master, &Slave, nullptr, nullptr, nullptr), 0);
    else
      EXPECT_EQ(::pipe(ErrPipe), 0);
    std::vector<std::string> Env = {"XDG_DATA_HOME=" + Path("data"), "TMPDIR=" + Path("tmp"), "HOME=" + Path("."),
                                    "PATH=/usr/bin:/bin"};
    const pid_t Child = ::fork();
    if (Child == 0) {
      const int Null = ::open("/dev/null", O_RDONLY);
      ::dup2(Null, 0);
      ::dup2(OutPipe[1], 1);
      ::dup2(OnTerminal ? Slave : ErrPipe[1], 2);
      std::vector<char*> Argv = {const_cast<char*>(FQ_CLI_PATH)};
      for (const std::string& Arg : Args) Argv.push_back(const_cast<char*>(Arg.c_str()));
      Argv.push_back(nullptr);
      std::vector<char*> Envp;
      for (const std::string& Var : Env) Envp.push_back(const_cast<char*>(Var.c_str()));
      Envp.push_back(nullptr);
      ::execve(FQ_CLI_PATH, Argv.data(), Envp.data());
      ::_exit(127);
    }
    ::close(OutPipe[1]);
    if (OnTerminal) ::close(Slave);
    else ::close(ErrPipe[1]);
    const int ErrFd = OnTerminal ? Master : ErrPipe[0];

    TRun Result;
    pollfd Fds[2] = {{OutPipe[0], POLLIN, 0}, {ErrFd, POLLIN, 0}};
    int Open = 2;
    char Buffer[65536];
    while (Open > 0) {
      if (::poll(Fds, 2, -1) < 0) break;
      for (int I = 0; I < 2; ++I) {
        if (Fds[I].fd < 0 || !(Fds[I].revents & (POLLIN | POLLHUP | POLLERR))) continue;
        const ssize_t Got = ::read(Fds[I].fd, Buffer, sizeof Buffer);
        if (Got <= 0) {   // a terminal without writers reads as an error
          ::close(Fds[I].fd);
          Fds[I].fd = -1;
          --Open;
          continue;
        }
        (I == 0 ? Result.Out : Result.Err).append(Buffer, static_cast<size_t>(Got));
        if (I == 1 && OnTerminal) OnTerminal(Child, Result.Err);
      }
    }
    int Status = 0;
    ::waitpid(Child, &Status, 0);
    Result.Status = WIFEXITED(Status) ? WEXITSTATUS(Status) : 128 + WTERMSIG(Status);
    return Result;
  }

  // The transfers of the trace as lines "OUT n hex" / "IN n hex".
  std::vector<std::string> TraceLines() const {
    std::vector<std::string> Lines;
    std::ifstream In(TracePath());
    for (std::string Line; std::getline(In, Line);) Lines.push_back(Line);
    return Lines;
  }

  // Every write packet of the trace, in order.
  std::vector<TTracedWrite> TracedWrites() const {
    std::vector<TTracedWrite> Writes;
    for (const std::string& Line : TraceLines()) {
      if (Line.rfind("OUT 41 ", 0) != 0) continue;
      const std::string Hex = Line.substr(7);
      std::vector<uint8_t> Bytes;
      for (size_t I = 0; I + 1 < Hex.size(); I += 2) Bytes.push_back(static_cast<uint8_t>(std::stoi(Hex.substr(I, 2), nullptr, 16)));
      if (Bytes.size() != 41) continue;
      const uint32_t Address = uint32_t(Bytes[1]) << 24 | uint32_t(Bytes[2]) << 16 | uint32_t(Bytes[3]) << 8 | Bytes[4];
      const uint32_t Length = uint32_t(Bytes[5]) << 24 | uint32_t(Bytes[6]) << 16 | uint32_t(Bytes[7]) << 8 | Bytes[8];
      Writes.push_back({Bytes[0], Address, std::vector<uint8_t>(Bytes.begin() + 9, Bytes.begin() + 9 + std::min<uint32_t>(Length, 32))});
    }
    return Writes;
  }

  // The page format's packets (32 zero bytes at 0x130 of each 32 KiB block
  // of a page) come first; the image's packets follow them.
  std::vector<TTracedWrite> ImageWrites() const {
    std::vector<TTracedWrite> Writes = TracedWrites();
    size_t First = 0;
    while (First < Writes.size() && Writes[First].Code == 'W' && Writes[First].Address % 0x8000 == 0x130 &&
           Writes[First].Data == std::vector<uint8_t>(32, 0))
      ++First;
    return std::vector<TTracedWrite>(Writes.begin() + static_cast<std::ptrdiff_t>(First), Writes.end());
  }

  std::vector<uint8_t> Flash() const { return ReadBytes(CardDir() + "/flash.bin"); }

  TTempFolder FFolder{"fq-cli"};
  fs::path FDir;
};
