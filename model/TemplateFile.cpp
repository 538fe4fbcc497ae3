#include "TemplateFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
std::string folderMessage(const std::string& path) {
    std::string text = "'";
    text += path;
    text += "' is a folder, not a file";
    return text;
}
}  // namespace

std::string notAFileReason(const std::string& path) {
    std::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    if (ec || !fs::exists(st) || fs::is_regular_file(st)) return "";
    if (fs::is_directory(st)) return folderMessage(path);
    // Reading a device such as /dev/zero never ends, and a pipe blocks until
    // someone writes to it: neither is a template.
    return "'" + path + "' is not a regular file";
}

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
// `used` (when given) receives how many bytes of `data` were looked at.
bool collectMessage(const char* data, size_t count, bool& started, ByteSequence& bytes, size_t* used = nullptr) {
    for (size_t i = 0; i < count; ++i) {
        const auto b = static_cast<uint8_t>(data[i]);
        if (!started) {
            if (b != 0xF0) continue;
            started = true;
        }
        // Longer than any real message: stop here; without its 0xF7 it is not valid.
        if (bytes.size() == kMaxSysExMessageSize) {
            if (used) *used = i;
            return true;
        }
        bytes.appendRaw(b);
        if (b == 0xF7) {
            if (used) *used = i + 1;
            return true;
        }
    }
    if (used) *used = count;
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
    fileError = notAFileReason(path);
    if (!fileError.empty()) return false;
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
    // Read at most one byte more than the largest file taken, to know it is larger.
    content.clear();
    std::vector<char> chunk(64 * 1024);
    while (in && content.size() <= kMaxSysExFileSize) {
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        content.insert(content.end(), chunk.data(), chunk.data() + in.gcount());
    }
    if (in.bad()) {
        fileError = "Unable to read file '" + path + "'";
        return false;
    }
    if (content.size() > kMaxSysExFileSize) {
        content.clear();
        fileError = "'" + path + "' is too large to be a SysEx file";
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
    size_t next = offset;
    return readMessageAt(path, offset, bytes, next, fileError);
}

bool readMessageAt(const std::string& path, size_t offset, ByteSequence& bytes, size_t& next, std::string& fileError) {
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
    size_t position = offset;
    while (in) {
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        const auto got = static_cast<size_t>(in.gcount());
        size_t used = 0;
        if (collectMessage(chunk.data(), got, started, bytes, &used)) {
            if (bytes[bytes.size() - 1] == 0xF7) next = position + used;
            return isValidSysExMessage(bytes);
        }
        position += got;
    }
    if (in.bad()) {
        fileError = "Unable to read file '" + path + "'";
        return false;
    }
    return isValidSysExMessage(bytes);
}

namespace {
bool writeAll(int fd, const ByteSequence& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const auto n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

std::string reasonOf(int error) { return std::strerror(error ? error : EIO); }

// Temporary files are named ".NAME.PID-RANDOM.tmp" beside their target, so
// that a later save can tell the ones whose process is gone.
std::string tempPrefix(const fs::path& target) { return "." + target.filename().string() + "."; }

std::string tempNameBeside(const fs::path& target) {
    std::random_device rd;
    char suffix[48];
    std::snprintf(suffix, sizeof suffix, "%ld-%08x.tmp", static_cast<long>(::getpid()), static_cast<unsigned>(rd()));
    return (target.parent_path() / (tempPrefix(target) + suffix)).string();
}

// Removes the temporary files of earlier saves of `target` whose process no
// longer runs (it was killed between naming its file and renaming it).
void removeStaleTemporaries(const fs::path& target) {
    const std::string prefix = tempPrefix(target);
    const std::string suffix = ".tmp";
    std::error_code ec;
    const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() <= prefix.size() + suffix.size() || name.compare(0, prefix.size(), prefix) != 0 ||
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        const std::string middle = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
        const size_t dash = middle.find('-');
        if (dash == 0 || dash == std::string::npos || dash > 9 || middle.size() - dash != 9) continue;
        if (middle.find_first_not_of("0123456789") != dash) continue;
        if (middle.find_first_not_of("0123456789abcdef", dash + 1) != std::string::npos) continue;
        const long pid = std::stol(middle.substr(0, dash));
        if (pid == static_cast<long>(::getpid())) continue;
        if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;  // still running
        std::error_code ignored;
        fs::remove(it->path(), ignored);
    }
}

// Follows a chain of symbolic links to the path it finally names, which may
// not exist yet.
fs::path resolveLinks(fs::path path) {
    for (int depth = 0; depth < 40; ++depth) {
        std::error_code ec;
        if (!fs::is_symlink(path, ec)) break;
        const fs::path next = fs::read_symlink(path, ec);
        if (ec) break;
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return path;
}

// Writes the new content into a file that has no name until it is complete,
// then names it beside the target. A process killed while writing leaves
// nothing behind. -1 when the file system cannot do this.
int writeUnnamed(const fs::path& target, const ByteSequence& bytes, const std::string& temp, bool keepMode,
                 mode_t mode, int& failure) {
#ifdef O_TMPFILE
    const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0) return -1;
    if (keepMode) ::fchmod(fd, mode);
    if (!writeAll(fd, bytes) || ::fsync(fd) != 0) {
        failure = errno;
        ::close(fd);
        return 0;
    }
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temp.c_str(), AT_SYMLINK_FOLLOW) != 0) {
        ::close(fd);
        return -1;
    }
    ::close(fd);
    return 1;
#else
    (void)target, (void)bytes, (void)temp, (void)keepMode, (void)mode, (void)failure;
    return -1;
#endif
}

bool writeNamed(const ByteSequence& bytes, const std::string& temp, bool keepMode, mode_t mode, int& failure) {
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        failure = errno;
        return false;
    }
    // An existing file keeps its own permissions; a new one gets 0666 less the umask.
    if (keepMode) ::fchmod(fd, mode);
    bool ok = writeAll(fd, bytes) && ::fsync(fd) == 0;
    if (!ok) failure = errno;
    if (::close(fd) != 0 && ok) {
        failure = errno;
        ok = false;
    }
    if (!ok) ::unlink(temp.c_str());
    return ok;
}
}  // namespace

bool writeBytesToFile(const std::string& path, const ByteSequence& bytes, bool append) {
    std::string ignored;
    return writeBytesToFile(path, bytes, append, ignored);
}

bool writeBytesToFile(const std::string& path, const ByteSequence& bytes, bool append, std::string& error) {
    error.clear();
    std::error_code ec;
    // Write through a link to the file it names, so the link survives the save.
    const fs::path target = resolveLinks(fs::path(path));
    if (fs::is_directory(target, ec)) {
        error = folderMessage(path);
        return false;
    }
    const bool exists = fs::exists(target, ec);
    if (exists && ::access(target.c_str(), W_OK) != 0) {
        error = reasonOf(errno);
        return false;
    }
    if (append) {
        const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
        if (fd < 0) {
            error = reasonOf(errno);
            return false;
        }
        bool ok = writeAll(fd, bytes);
        if (!ok) error = reasonOf(errno);
        if (::close(fd) != 0 && ok) {
            error = reasonOf(errno);
            ok = false;
        }
        return ok;
    }

    mode_t mode = 0666;
    struct stat st {};
    const bool keepMode = exists && ::stat(target.c_str(), &st) == 0;
    if (keepMode) mode = st.st_mode & 07777;
    removeStaleTemporaries(target);
    const std::string temp = tempNameBeside(target);
    int failure = 0;
    const int unnamed = writeUnnamed(target, bytes, temp, keepMode, mode, failure);
    bool ok = unnamed == 1 || (unnamed < 0 && writeNamed(bytes, temp, keepMode, mode, failure));
    if (ok && ::rename(temp.c_str(), target.c_str()) != 0) {
        failure = errno;
        ::unlink(temp.c_str());
        ok = false;
    }
    if (!ok) {
        error = reasonOf(failure);
        return false;
    }
    // The new name lives in the folder: sync it too, or a power loss soon
    // after the save can bring back the old file. Some file systems cannot
    // sync a folder; the file itself is complete on disk either way.
    const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        ::fsync(folderFd);
        ::close(folderFd);
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
