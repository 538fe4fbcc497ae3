#include "library/ContentHash.h"

#include <nettle/sha2.h>

namespace {
// Header offsets of the bulk flag and the location in a template dump.
constexpr size_t kBulkFlagByte = 7;
constexpr size_t kLocationByte = 12;
}  // namespace

ContentHash templateContentHash(const ByteSequence& dump) {
    sha256_ctx ctx;
    sha256_init(&ctx);
    const uint8_t zero = 0;
    // Hash piece by piece around the two normalised bytes, without copying the dump.
    size_t from = 0;
    for (size_t skip : {kBulkFlagByte, kLocationByte}) {
        if (skip >= dump.size()) break;
        sha256_update(&ctx, skip - from, dump.data() + from);
        sha256_update(&ctx, 1, &zero);
        from = skip + 1;
    }
    if (from < dump.size()) sha256_update(&ctx, dump.size() - from, dump.data() + from);
    ContentHash out{};
    sha256_digest(&ctx, out.size(), out.data());
    return out;
}

std::string hashToHex(const ContentHash& hash) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(hash.size() * 2);
    for (uint8_t b : hash) {
        text += digits[b >> 4];
        text += digits[b & 0x0F];
    }
    return text;
}
