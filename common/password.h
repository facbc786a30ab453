// The stored form of the database password (the value of SqlPassword).
//
// A seed letter ('a' + seed, seed 0 to 19) followed by the password's
// characters, each shifted up by a pseudo-random amount below 20 (in 8
// bits). Every program scrambles and unscrambles with PasswordRandom, a
// fixed generator of our own (the classic portable linear congruential one),
// so that a stored value stays readable by every program and across library
// upgrades.
//
// Thread safety: pure functions; a PasswordRandom is used by one thread.
#pragma once

#include <cstdint>
#include <string>

namespace tellwen {

class PasswordRandom {
 public:
  explicit PasswordRandom(uint32_t seed) : state_(seed) {}
  // 0 to 32767.
  int Next() {
    state_ = state_ * 1103515245u + 12345u;
    return static_cast<int>((state_ / 65536u) % 32768u);
  }

 private:
  uint32_t state_;
};

// Scrambles with a seed drawn from a generator seeded by clock_seed.
std::string ScramblePassword(const std::string& plain, uint32_t clock_seed);
// Scrambles with the current time as clock_seed (the programs' save).
std::string ScramblePassword(const std::string& plain);
// The plain password; "" for an empty stored value or a lone seed letter.
std::string UnscramblePassword(const std::string& stored);

}  // namespace tellwen
