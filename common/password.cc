#include "common/password.h"

#include <ctime>

namespace tellwen {

std::string ScramblePassword(const std::string& plain, uint32_t clock_seed) {
  PasswordRandom clock(clock_seed);
  const int seed = clock.Next() % 20;
  PasswordRandom rng(static_cast<uint32_t>(seed));
  std::string stored(1, static_cast<char>(97 + seed));
  for (char c : plain) {
    stored.push_back(static_cast<char>(static_cast<uint8_t>(c) + rng.Next() % 20));
  }
  return stored;
}

std::string ScramblePassword(const std::string& plain) {
  return ScramblePassword(plain, static_cast<uint32_t>(time(nullptr)));
}

std::string UnscramblePassword(const std::string& stored) {
  if (stored.size() < 2) return "";
  PasswordRandom rng(static_cast<uint32_t>(static_cast<uint8_t>(stored[0]) - 97));
  std::string plain;
  for (size_t i = 1; i < stored.size(); ++i) {
    plain.push_back(static_cast<char>(static_cast<uint8_t>(stored[i]) - rng.Next() % 20));
  }
  return plain;
}

}  // namespace tellwen
