#include "TemplateFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#ifdef _WIN32
#include <io.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {
std::string folderMessage(const std::string& path) {
    std::string text = "'";
    text += path;
    text += "' is a folder, not a file";
    return text;
}
}  // namespace

bool isValidSysExMessage(const ByteSequence& bytes) {
    if (bytes.size() <= 4) return false;
    if (bytes[0] != 0xF0 || bytes[bytes.size() - 1] != 0xF7) return false;
    for (size_t i = 4; i + 1 < bytes.size(); ++i)
        if (bytes[i] >= 0x80) return false;
    return true;
}

namespace {
// Collects one message from a run of bytes: skips to the first 0xF0, takes
// bytes up to and including the next 0xF7. Answers true once that 0xF7 is in.
bool collectMessage(const char* data, size_t count, bool& started, ByteSequence& bytes) {
    for (size_t i = 0; i < count; ++i) {
        const auto b = static_cast<uint8_t>(data[i]);
        if (!started) {
            if (b != 0xF0) continue;
            started = true;
        }
        bytes.appendRaw(b);
        if (b == 0xF7) return true;
    }
    return false;
}

// Takes the first message at or after `offset`; answers the offset just past
// its last byte (bytes skipped before it included).
size_t extractMessage(const std::vector<char>& content, size_t offset, ByteSequence& bytes) {
    bytes.clear();
    if (offset >= content.size()) return content.size();
    const char* from = content.data() + offset;
    const size_t count = content.size() - offset;
    const void* start = std::memchr(from, 0xF0, count);
    if (!start) return content.size();
    const size_t skipped = static_cast<size_t>(static_cast<const char*>(start) - from);
    bool started = false;
    collectMessage(from + skipped, count - skipped, started, bytes);
    return offset + skipped + bytes.size();
}

// Opens a file for reading; says why when it cannot.
bool openForReading(const std::string& path, std::ifstream& in, std::string& fileError) {
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        fileError = folderMessage(path);
        return false;
    }
    in.open(path, std::ios::binary);
    if (!in) {
        fileError = "Unable to open file '" + path + "': " + std::strerror(errno);
        return false;
    }
    return true;
}

bool readWholeFile(const std::string& path, std::vector<char>& content, std::string& fileError) {
    std::ifstream in;
    if (!openForReading(path, in, fileError)) return false;
    content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        fileError = "Unable to read file '" + path + "'";
        return false;
    }
    return true;
}
}  // namespace

bool readMessageFromFile(const std::string& path, ByteSequence& bytes, size_t offset) {
    std::string ignored;
    return readMessageFromFile(path, bytes, offset, ignored);
}

bool readMessageFromFile(const std::string& path, ByteSequence& bytes, size_t offset, std::string& fileError) {
    fileError.clear();
    bytes.clear();
    std::ifstream in;
    if (!openForReading(path, in, fileError)) return false;
    // Read in chunks and stop at the end of the first message, so that a
    // large file that is not a template costs no more than its first bytes.
    in.seekg(static_cast<std::streamoff>(offset));
    if (!in) return false;  // the file is not longer than offset
    std::vector<char> chunk(64 * 1024);
    bool started = false;
    while (in) {
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        if (collectMessage(chunk.data(), static_cast<size_t>(in.gcount()), started, bytes))
            return isValidSysExMessage(bytes);
    }
    if (in.bad()) {
        fileError = "Unable to read file '" + path + "'";
        return false;
    }
    return isValidSysExMessage(bytes);
}

namespace {
bool writeAll(std::FILE* f, const ByteSequence& bytes) {
    return bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
}

std::string tempNameBeside(const fs::path& target) {
    std::random_device rd;
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%08x.tmp", static_cast<unsigned>(rd()));
    std::string name = ".";
    name += target.filename().string();
    name += suffix;
    return (target.parent_path() / name).string();
}
}  // namespace

bool writeBytesToFile(const std::string& path, const ByteSequence& bytes, bool append) {
    std::string ignored;
    return writeBytesToFile(path, bytes, append, ignored);
}

bool writeBytesToFile(const std::string& path, const ByteSequence& bytes, bool append, std::string& error) {
    error.clear();
    std::error_code ec;
    fs::path target(path);
    // Write through a link to the file it names, so the link survives the save.
    if (fs::is_symlink(target, ec)) {
        fs::path resolved = fs::weakly_canonical(target, ec);
        if (!ec) target = resolved;
    }
    if (fs::is_directory(target, ec)) {
        error = folderMessage(path);
        return false;
    }
    const bool exists = fs::exists(target, ec);
#ifndef _WIN32
    if (exists && ::access(target.c_str(), W_OK) != 0) {
        error = "Unable to write file '" + path + "': " + std::strerror(errno);
        return false;
    }
#endif
    if (append) {
        std::FILE* f = std::fopen(target.string().c_str(), "ab");
        if (!f) {
            error = "Unable to write file '" + path + "': " + std::strerror(errno);
            return false;
        }
        const bool ok = writeAll(f, bytes);
        const bool closed = std::fclose(f) == 0;
        if (!ok || !closed) error = "Unable to write file '" + path + "'";
        return ok && closed;
    }

    const std::string temp = tempNameBeside(target);
#ifndef _WIN32
    mode_t mode = 0666;
    struct stat st {};
    if (exists && ::stat(target.c_str(), &st) == 0) mode = st.st_mode & 07777;
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
    if (fd < 0) {
        error = "Unable to write file '" + path + "': " + std::strerror(errno);
        return false;
    }
    // An existing file keeps its own permissions; a new one gets 0666 less the umask.
    if (exists) ::fchmod(fd, mode);
    std::FILE* f = ::fdopen(fd, "wb");
    if (!f) {
        ::close(fd);
        ::unlink(temp.c_str());
        error = "Unable to write file '" + path + "'";
        return false;
    }
#else
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) {
        error = "Unable to write file '" + path + "': " + std::strerror(errno);
        return false;
    }
#endif
    bool ok = writeAll(f, bytes) && std::fflush(f) == 0;
#ifndef _WIN32
    ok = ok && ::fsync(::fileno(f)) == 0;
#endif
    ok = (std::fclose(f) == 0) && ok;
    if (ok) {
        fs::rename(temp, target, ec);
        ok = !ec;
    }
    if (!ok) {
        const int saved = errno;
        fs::remove(temp, ec);
        error = "Unable to write file '" + path + "': " + std::strerror(saved ? saved : EIO);
        return false;
    }
    return true;
}

bool CSysExMetaStream::loadFromFile(const std::string& path) {
    messages.clear();
    std::vector<char> content;
    std::string fileError;
    if (!readWholeFile(path, content, fileError)) return false;
    size_t offset = 0;
    for (;;) {
        ByteSequence message;
        // The next search starts just past this message, not past its length
        // counted from where the search began.
        offset = extractMessage(content, offset, message);
        if (!isValidSysExMessage(message)) break;
        messages.push_back(std::move(message));
    }
    return validate();
}

bool CSysExMetaStream::validate() const {
    for (const auto& m : messages)
        if (!isValidSysExMessage(m)) return false;
    return true;
}
