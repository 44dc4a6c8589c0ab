// SPDX-License-Identifier: MIT
// Reading a data file whole with POSIX calls: a directory or a pipe in place of the file is named
// as such instead of surfacing as a stream library's failure, and a pipe never blocks the game.
#include "core/DataFile.h"

#include "core/ByteStream.h"
#include "core/FileErrors.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

[[noreturn]] void cannotOpen(const std::string& path, const std::string& why) {
    throw EFOpenError("Cannot open file \"" + path + "\". " + why);
}

// Closes the descriptor however reading ends.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
};

} // namespace

std::vector<std::uint8_t> ReadDataFile(const std::string& path) {
    // Not blocking: opening a pipe without a writer would wait for good.
    const Descriptor in{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
    if (in.fd < 0) cannotOpen(path, std::strerror(errno));
    struct stat st {};
    if (::fstat(in.fd, &st) != 0) cannotOpen(path, std::strerror(errno));
    if (S_ISDIR(st.st_mode)) cannotOpen(path, std::strerror(EISDIR));
    if (!S_ISREG(st.st_mode)) cannotOpen(path, "Not a regular file");

    std::vector<std::uint8_t> bytes;
    bytes.reserve(static_cast<std::size_t>(st.st_size));
    std::uint8_t chunk[65536];
    for (;;) {
        const ssize_t n = ::read(in.fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw EReadError("Cannot read file \"" + path + "\". " + std::strerror(errno));
        if (n == 0) break;
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    return bytes;
}

std::string DamagedFileMessage(const std::string& path, const std::string& error) {
    return "Cannot load file \"" + path + "\". " + error;
}
