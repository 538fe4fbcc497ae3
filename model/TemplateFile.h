#pragma once
// Reading and writing SysEx files (".syx" templates, bulk dumps, OS images).
#include <string>
#include <vector>

#include "ByteSequence.h"

// More than 4 bytes, F0 ... F7, and every byte from index 4 to the one before
// the last below 0x80.
bool isValidSysExMessage(const ByteSequence& bytes);

// Reads the first SysEx message at or after `offset` (bytes before its 0xF0 are
// skipped, reading stops at the first 0xF7). True when it is a valid message.
bool readMessageFromFile(const std::string& path, ByteSequence& bytes, size_t offset);
// As above, and says why a file could not be read at all (empty when it could).
bool readMessageFromFile(const std::string& path, ByteSequence& bytes, size_t offset, std::string& fileError);

// Writes `bytes` to `path`. A plain write replaces the file only once the new
// content is complete on disk, so a failed save never destroys the old file.
// New files get read and write permission for everybody, less the umask.
bool writeBytesToFile(const std::string& path, const ByteSequence& bytes, bool append);
bool writeBytesToFile(const std::string& path, const ByteSequence& bytes, bool append, std::string& error);

// A sequence of complete SysEx messages read from one file.
class CSysExMetaStream {
public:
    virtual ~CSysExMetaStream() = default;
    virtual bool loadFromFile(const std::string& path);
    virtual bool validate() const;

    std::vector<ByteSequence> messages;
};
