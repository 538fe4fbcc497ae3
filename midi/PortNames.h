#pragma once
// How a platform port name is shown to the user, and the hash under which a
// chosen port is recognised again.
#include <cstdint>
#include <string>

namespace MIDI {

// The name shown in the device lists, with its ": Port n" suffix.
std::string DisplayName(const std::string& platformName);
// 32-bit FNV-1 hash of the shown name without its port suffix.
uint32_t NameHash(const std::string& platformName);
uint32_t Fnv1Hash(const std::string& bytes);

}  // namespace MIDI
