#pragma once
// Files that belong to this user alone: crash reports, data-error masks and
// the copies a crash saves. They are made only as new files (never through a
// link someone planted under their name), readable by this user only, and
// complete on disk before they take their name.
//
// The `Place` functions are safe inside a signal handler: they allocate
// nothing and make only system calls.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace report {

// A file to write: its folder and name, the temporary name beside it, and the
// folders to make first (missing parents included; none for a folder that
// must already exist).
struct Place {
    std::string folder;  // ends in '/'
    std::string name;
    std::string tempName;
    std::string path;    // folder + name
    std::vector<std::string> foldersToMake;

    // `path` split into folder and name; `makeFolder` adds the folder and its
    // parents to foldersToMake.
    static Place at(const std::string& path, bool makeFolder);
    bool empty() const { return name.empty(); }
};

// True when `path` is a folder (not a link to one) that this user owns and
// nobody else may enter.
bool isPrivateFolder(const std::string& path);

// Makes the place's folders (mode 0700) when they are missing.
void makeFolders(const Place& place) noexcept;

// Starts a new file: opens the folder and creates the temporary file with
// O_CREAT|O_EXCL|O_NOFOLLOW and mode 0600 (a file or link left under the
// temporary name is removed first). Answers false, with both descriptors
// at -1, when that fails.
bool createInPlace(const Place& place, int& folderFd, int& fileFd) noexcept;
// Ends what createInPlace started: with `complete`, syncs the file, gives it
// its name (replacing, never following, what had the name) and syncs the
// folder; otherwise, or when any of that fails, removes the temporary file.
// Closes both descriptors. True when the file is in place.
bool finishInPlace(const Place& place, int folderFd, int fileFd, bool complete) noexcept;

// Writes all of `size` bytes to fd; false when any write fails.
bool writeFully(int fd, const void* bytes, size_t size) noexcept;
// The whole file in one go.
bool writeInPlace(const Place& place, const uint8_t* bytes, size_t size) noexcept;

// The same for callers outside a crash: `path` must be in an existing folder.
bool writePrivateFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error);

// Reads a file only when it can be trusted: a regular file, not a link, owned
// by this user, at most `maxSize` bytes.
bool readTrustedFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error,
                     size_t maxSize = 64 * 1024 * 1024);

}  // namespace report
