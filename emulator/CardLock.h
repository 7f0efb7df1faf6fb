#pragma once
#include <memory>
#include <string>

// One program at a time on a card kept in a folder. Two programs writing the
// same card would interleave their packets on it and both report success for
// a page that holds what only one of them meant; so a program that opens the
// card holds this lock for as long as it has the card, and a second one is
// refused before it touches anything. The lock goes with the process,
// however it ends (POSIX: flock on the folder; Windows: a lock file in it
// opened without sharing and deleted on close).
class TCardLock {
public:
  // Throws std::runtime_error: "The card in DIR is in use by another
  // program.", or the system's reason when the folder cannot be locked.
  explicit TCardLock(const std::string& Dir);
  ~TCardLock();
  TCardLock(const TCardLock&) = delete;
  TCardLock& operator=(const TCardLock&) = delete;

private:
#ifdef _WIN32
  void* FHandle = nullptr;
#else
  int FFd = -1;
#endif
};

// The words of the refusal, which front ends look for.
constexpr const char* CardInUseText = "is in use by another program";
