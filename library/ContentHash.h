#pragma once
// The key under which the library keeps a template once: a SHA-256 of its
// dump with the header bytes that only say where the dump was sent or kept
// (the bulk flag and the location) set to 0.
#include <array>
#include <cstdint>
#include <string>

#include "model/ByteSequence.h"

using ContentHash = std::array<uint8_t, 32>;

ContentHash templateContentHash(const ByteSequence& dump);
std::string hashToHex(const ContentHash& hash);
