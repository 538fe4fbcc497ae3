#pragma once
// Reading and writing SysEx files (".syx" templates, bulk dumps, OS images).
#include <string>
#include <vector>

#include "ByteSequence.h"

// The longest SysEx message any reader takes: well above the largest template
// dump (8208 bytes) and OS image block. Reading stops there, so a file that
// opens a message and never ends it costs bounded memory and time.
constexpr size_t kMaxSysExMessageSize = 64 * 1024;
// The largest file read as a sequence of messages (an OS image).
constexpr size_t kMaxSysExFileSize = 16 * 1024 * 1024;

// Why `path` cannot be read as a SysEx file, in the words shown to the user;
// empty when it is a regular file (or a link to one) or does not exist (then
// opening it says why). Folders, devices, pipes and sockets are refused.
std::string notAFileReason(const std::string& path);

// More than 4 bytes, F0 ... F7, and every byte from index 4 to the one before
// the last below 0x80.
bool isValidSysExMessage(const ByteSequence& bytes);

// Reads the first SysEx message at or after `offset` (bytes before its 0xF0 are
// skipped, reading stops at the first 0xF7). True when it is a valid message;
// a message longer than kMaxSysExMessageSize is not read to its end.
bool readMessageFromFile(const std::string& path, ByteSequence& bytes, size_t offset);
// As above, and says why a file could not be read at all (empty when it could).
bool readMessageFromFile(const std::string& path, ByteSequence& bytes, size_t offset, std::string& fileError);
// As above; when the message ends with its 0xF7, `next` becomes the offset
// just past it (otherwise it is left as it was).
bool readMessageAt(const std::string& path, size_t offset, ByteSequence& bytes, size_t& next, std::string& fileError);

// Writes `bytes` to `path`. A plain write replaces the file only once the new
// content is complete on disk, so a failed save never destroys the old file,
// and a process killed while saving leaves no temporary file behind (the next
// save removes any that a killed process could not). A symbolic link, even
// one whose file does not exist yet, is written through and kept.
// New files get read and write permission for everybody, less the umask.
// `error` receives the reason of a failure, such as "No space left on device".
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
