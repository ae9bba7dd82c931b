#include "files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <utility>

#include "signals.h"

namespace ruvello {

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.release();
    }
    return *this;
}

FileDescriptor::~FileDescriptor() { close(); }

int FileDescriptor::release() { return std::exchange(fd_, -1); }

bool FileDescriptor::close() {
    if (fd_ < 0) return true;
    return ::close(release()) == 0;
}

std::size_t FileSource::read(char* buffer, std::size_t capacity) {
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, capacity);
        if (n >= 0) return static_cast<std::size_t>(n);
        if (errno != EINTR) throw ReadError(std::strerror(errno));
    }
}

void FileSink::write(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            throw WriteError(std::strerror(errno));
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

std::optional<InputFile> InputFile::open(const std::string& path) {
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat status {};
    if (fd.get() < 0 || ::fstat(fd.get(), &status) != 0) return std::nullopt;
    ::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    return InputFile(std::move(fd), status);
}

std::optional<std::uint64_t> InputFile::size() const {
    if (!S_ISREG(status_.st_mode)) return std::nullopt;
    return static_cast<std::uint64_t>(status_.st_size);
}

bool InputFile::is_file_at(const std::string& path) const {
    struct stat other {};
    return ::stat(path.c_str(), &other) == 0 && other.st_dev == status_.st_dev &&
           other.st_ino == status_.st_ino;
}

namespace {

// The mode an output file gets: that of the file it replaces, or what a new
// file would get.
mode_t output_mode(const std::string& path) {
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0) return existing.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// An output path that is a symbolic link stays one: the file it leads to is
// replaced, as writing through the link would.
std::string through_links(const std::string& path) {
    struct stat link {};
    if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return path;
    std::error_code error;
    const std::filesystem::path target = std::filesystem::weakly_canonical(path, error);
    return error ? path : target.string();
}

}  // namespace

std::optional<OutputFile> OutputFile::create(const std::string& requested_path) {
    const std::string path = through_links(requested_path);
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode)) return std::nullopt;
    std::string temporary_path = path + ".XXXXXX";
    FileDescriptor fd(::mkostemp(temporary_path.data(), O_CLOEXEC));
    if (fd.get() < 0) return std::nullopt;
    remove_on_signal(AT_FDCWD, temporary_path.c_str());
    OutputFile file(std::move(fd), path, std::move(temporary_path));
    if (::fchmod(file.fd(), output_mode(path)) != 0) return std::nullopt;
    return file;
}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : fd_(std::move(other.fd_)), path_(std::move(other.path_)),
      temporary_path_(std::exchange(other.temporary_path_, {})) {}

OutputFile::~OutputFile() {
    if (temporary_path_.empty()) return;
    fd_.close();
    ::unlink(temporary_path_.c_str());
    forget_unfinished_output();
}

// Renaming over an existing file makes ext4 write the new file to disk before
// the rename returns (its guard for programs that replace files without
// syncing them), which can take longer than the translation itself. So an
// existing file is swapped with the output instead, and then removed from the
// temporary path; a rename is left for a path that names nothing yet, or a
// file system that cannot swap.
void OutputFile::commit() {
    if (!fd_.close()) throw WriteError(std::strerror(errno));
    if (!swap_with_existing_file() && ::rename(temporary_path_.c_str(), path_.c_str()) != 0)
        throw WriteError(std::strerror(errno));
    forget_unfinished_output();
    temporary_path_.clear();
}

bool OutputFile::swap_with_existing_file() {
    const auto swap = [this] {
        return ::renameat2(AT_FDCWD, temporary_path_.c_str(), AT_FDCWD, path_.c_str(),
                           RENAME_EXCHANGE) == 0;
    };
    if (!swap()) return false;
    // Only a file is replaced: what the path named may have become a directory
    // since the run began, and then it goes back where it was.
    if (::unlink(temporary_path_.c_str()) != 0) {
        const int error = errno;
        swap();
        throw WriteError(std::strerror(error));
    }
    return true;
}

}  // namespace ruvello
