#include "PrivateFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace report {

Place Place::at(const std::string& path, bool makeFolder) {
    Place p;
    const auto slash = path.find_last_of('/');
    p.folder = slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
    p.name = slash == std::string::npos ? path : path.substr(slash + 1);
    p.tempName = "." + p.name + ".tmp";
    p.path = path;
    if (makeFolder)
        for (size_t at = p.folder.find('/', 1); at != std::string::npos; at = p.folder.find('/', at + 1))
            p.foldersToMake.push_back(p.folder.substr(0, at));
    return p;
}

bool isPrivateFolder(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & 077) == 0;
}

void makeFolders(const Place& place) noexcept {
    for (const std::string& folder : place.foldersToMake) ::mkdir(folder.c_str(), 0700);
}

bool createInPlace(const Place& place, int& folderFd, int& fileFd) noexcept {
    folderFd = fileFd = -1;
    if (place.empty()) return false;
    makeFolders(place);
    folderFd = ::open(place.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0) return false;
    // Whatever holds the temporary name (a planted link, a file left by an
    // earlier crash) goes; O_EXCL then makes sure the file is our new one.
    ::unlinkat(folderFd, place.tempName.c_str(), 0);
    fileFd = ::openat(folderFd, place.tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fileFd >= 0) return true;
    ::close(folderFd);
    folderFd = -1;
    return false;
}

bool finishInPlace(const Place& place, int folderFd, int fileFd, bool complete) noexcept {
    bool ok = complete && ::fsync(fileFd) == 0;
    if (::close(fileFd) != 0) ok = false;
    // rename replaces a link under the name instead of following it.
    if (ok) ok = ::renameat(folderFd, place.tempName.c_str(), folderFd, place.name.c_str()) == 0;
    if (ok) ::fsync(folderFd);
    else ::unlinkat(folderFd, place.tempName.c_str(), 0);
    ::close(folderFd);
    return ok;
}

bool writeFully(int fd, const void* bytes, size_t size) noexcept {
    const char* p = static_cast<const char*>(bytes);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool writeInPlace(const Place& place, const uint8_t* bytes, size_t size) noexcept {
    int folderFd, fileFd;
    if (!createInPlace(place, folderFd, fileFd)) return false;
    return finishInPlace(place, folderFd, fileFd, writeFully(fileFd, bytes, size));
}

bool writePrivateFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
    const Place place = Place::at(path, false);
    int folderFd, fileFd;
    if (!createInPlace(place, folderFd, fileFd)) {
        error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    const bool written = writeFully(fileFd, bytes.data(), bytes.size());
    const int writeError = errno;
    if (finishInPlace(place, folderFd, fileFd, written)) return true;
    error = "cannot write " + path + ": " + std::strerror(written ? errno : writeError);
    return false;
}

bool readTrustedFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error, size_t maxSize) {
    bytes.clear();
    // O_NONBLOCK: a planted pipe must not hold the reader up.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = errno == ELOOP ? path + " is a link; only a file of its own is sent"
                               : "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
        error = path + " is not a file of this user's own";
        ::close(fd);
        return false;
    }
    if (static_cast<unsigned long long>(st.st_size) > maxSize) {
        error = path + " is too large";
        ::close(fd);
        return false;
    }
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            error = "cannot read " + path + ": " + std::strerror(errno);
            ::close(fd);
            return false;
        }
        if (bytes.size() + static_cast<size_t>(n) > maxSize) {
            error = path + " is too large";
            ::close(fd);
            return false;
        }
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    ::close(fd);
    return true;
}

}  // namespace report
