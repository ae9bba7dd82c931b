#include "platform/files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <utility>

#include "platform/signals.h"
#include "textops/textops.h"

namespace ruvello {

namespace {

std::string failure(std::string_view what, const std::string& name, int error) {
    return std::string(what) + ' ' + name + ": " + std::strerror(error);
}

std::string quoted(const std::string& shown) { return "'" + shown + "'"; }

std::string directory_of(const std::string& path) {
    const std::string directory = std::filesystem::path(path).parent_path().string();
    return directory.empty() ? "." : directory;
}

// The file an output path leads to. A symbolic link at the path is followed,
// and so is a chain of them, as writing through it would, also to a file
// that does not exist yet. In a sticky folder that everyone may write to,
// such as /tmp, a link is followed only when it belongs to the folder's
// owner or to the user running ruvello, the kernel's protected_symlinks
// rule for opening files.
std::string output_target(std::string path, const std::string& shown) {
    constexpr int max_links = 40;  // as the kernel follows
    for (int links = 0;; ++links) {
        struct stat link {};
        if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return path;
        if (links == max_links) throw OpenError(failure("cannot write", quoted(shown), ELOOP));
        const std::string directory = directory_of(path);
        struct stat folder {};
        if (::stat(directory.c_str(), &folder) == 0 && (folder.st_mode & S_ISVTX) &&
            (folder.st_mode & S_IWOTH) && link.st_uid != folder.st_uid &&
            link.st_uid != ::geteuid())
            throw OpenError("will not write through " + quoted(shown) +
                            ": a link of another user in a sticky folder that all may write to");
        std::error_code error;
        const std::filesystem::path target = std::filesystem::read_symlink(path, error);
        if (error) throw OpenError(failure("cannot write", quoted(shown), error.value()));
        path = target.is_absolute() ? target.string() : directory + "/" + target.string();
    }
}

// A hidden name in the file's folder that says what the file is and fits
// wherever the file's own name fits, cut at a character's first byte.
std::string temporary_name_for(const std::string& name, std::mt19937& random) {
    constexpr std::string_view suffix = ".ruvello-";
    constexpr std::size_t random_letters = 6;
    std::size_t kept = std::min(name.size(), NAME_MAX - 1 - suffix.size() - random_letters);
    while (kept > 0 && kept < name.size() && (name[kept] & 0xC0) == 0x80) --kept;
    std::string temporary = "." + name.substr(0, kept) + std::string(suffix);
    constexpr std::string_view letters =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    for (std::size_t i = 0; i < random_letters; ++i)
        temporary += letters[random() % letters.size()];
    return temporary;
}

}  // namespace

void open_standard_descriptors() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // The lowest free descriptor is this very one. Without a /dev/null
        // (a bare chroot) the run goes on as it can.
        if (::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY) < 0) return;
    }
}

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
        if (errno != EINTR) throw ReadError(failure("cannot read", name_, errno));
    }
}

void FileSink::write(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            throw WriteError(failure("cannot write", name_, errno));
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

InputFile InputFile::open(const std::string& path, const std::string& shown) {
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat status {};
    if (fd.get() < 0 || ::fstat(fd.get(), &status) != 0)
        throw OpenError(failure("cannot open", quoted(shown), errno));
    ::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    return InputFile(std::move(fd), status);
}

InputFile InputFile::standard_input() {
    FileDescriptor fd(::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0));
    struct stat status {};
    if (fd.get() < 0 || ::fstat(fd.get(), &status) != 0)
        throw OpenError(failure("cannot open", "standard input", errno));
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

bool InputFile::is_standard_output() const {
    struct stat output {};
    return ::fstat(STDOUT_FILENO, &output) == 0 && S_ISREG(output.st_mode) &&
           output.st_dev == status_.st_dev && output.st_ino == status_.st_ino;
}

bool InputFile::changed_since_opened() const {
    struct stat now {};
    if (!S_ISREG(status_.st_mode) || ::fstat(fd(), &now) != 0) return false;
    return now.st_size != status_.st_size || now.st_mtim.tv_sec != status_.st_mtim.tv_sec ||
           now.st_mtim.tv_nsec != status_.st_mtim.tv_nsec;
}

OutputFile::OutputFile(FileDescriptor directory, std::string name, std::string shown)
    : directory_(std::move(directory)), name_(std::move(name)), shown_(std::move(shown)) {}

OutputFile OutputFile::create(const std::string& path, const std::string& shown) {
    const std::string target = output_target(path, shown);
    const auto refuse = [&](int error) { throw OpenError(failure("cannot write", quoted(shown), error)); };
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) refuse(EISDIR);
    if (exists && !S_ISREG(existing.st_mode))
        throw OpenError("will not replace " + quoted(shown) + ": not a regular file");
    // Replacing needs no right to write to the file itself, but writing to
    // it would, and a file kept read-only is meant to stay as it is.
    if (exists && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) refuse(errno);

    FileDescriptor directory(::open(directory_of(target).c_str(),
                                    O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (directory.get() < 0) refuse(errno);
    OutputFile file(std::move(directory), std::filesystem::path(target).filename().string(), shown);
    // A new file gets the mode the user's umask gives; one that replaces
    // another starts private, and gets that one's owner and permissions.
    std::mt19937 random(std::random_device{}());
    for (int tries = 0; file.fd_.get() < 0; ++tries) {
        file.temporary_name_ = temporary_name_for(file.name_, random);
        file.fd_ = FileDescriptor(::openat(file.directory_.get(), file.temporary_name_.c_str(),
                                           O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                                           exists ? 0600 : 0666));
        if (file.fd_.get() < 0 && (errno != EEXIST || tries == 100)) {
            const int error = errno;
            file.temporary_name_.clear();
            refuse(error);
        }
    }
    remove_on_signal(file.directory_.get(), file.temporary_name_.c_str());
    if (exists) {
        // As root, the file keeps its owner; otherwise at least its group,
        // where the user belongs to it, and else it stays the user's own.
        const bool owner_kept = ::fchown(file.fd(), existing.st_uid, existing.st_gid) == 0;
        [[maybe_unused]] const bool group_kept =
            owner_kept || ::fchown(file.fd(), static_cast<uid_t>(-1), existing.st_gid) == 0;
        // The permission bits only: a set-user-ID bit must not come to a file
        // whose content and owner are new.
        if (::fchmod(file.fd(), existing.st_mode & 0777) != 0) refuse(errno);
    }
    return file;
}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : directory_(std::move(other.directory_)), name_(std::move(other.name_)),
      shown_(std::move(other.shown_)),
      temporary_name_(std::exchange(other.temporary_name_, {})), fd_(std::move(other.fd_)) {}

OutputFile::~OutputFile() {
    if (temporary_name_.empty()) return;
    fd_.close();
    ::unlinkat(directory_.get(), temporary_name_.c_str(), 0);
    forget_unfinished_output();
}

void OutputFile::fail_to_commit(int error) const {
    throw WriteError(failure("cannot write", quoted(shown_), error));
}

// Renaming over an existing file makes ext4 write the new file to disk before
// the rename returns (its guard for programs that replace files without
// syncing them), which can take longer than the translation itself. So an
// existing file is swapped with the output instead, and then removed from the
// temporary name; a rename is left for a path that names nothing yet, or a
// file system that cannot swap.
void OutputFile::commit() {
    if (!fd_.close()) fail_to_commit(errno);
    // Once the new output is in place the run has succeeded: a signal may not
    // come between the two, to end it as a failure.
    const SignalsHeld held;
    if (!swap_with_existing_file() &&
        ::renameat(directory_.get(), temporary_name_.c_str(), directory_.get(), name_.c_str()) != 0)
        fail_to_commit(errno);
    output_in_place();
    temporary_name_.clear();
}

bool OutputFile::swap_with_existing_file() {
    const auto swap = [this] {
        return ::renameat2(directory_.get(), temporary_name_.c_str(), directory_.get(),
                           name_.c_str(), RENAME_EXCHANGE) == 0;
    };
    if (!swap()) return false;
    // Only a file is replaced: what the path named may have become a directory
    // since the run began, and then it goes back where it was.
    if (::unlinkat(directory_.get(), temporary_name_.c_str(), 0) != 0) {
        const int error = errno;
        swap();
        fail_to_commit(error);
    }
    return true;
}

std::string read_whole(const InputFile& input, const std::string& name) {
    FileSource source(input.fd(), name, input.size());
    std::string text;
    char buffer[1 << 16];
    while (const std::size_t count = source.read(buffer, sizeof buffer)) text.append(buffer, count);
    return text;
}

void write_whole_file(const std::string& path, std::string_view text) {
    const std::string shown = textops::printable(path);
    OutputFile output = OutputFile::create(path, shown);
    FileSink(output.fd(), "'" + shown + "'").write(text);
    output.commit();
}

TemporaryFolder::TemporaryFolder() {
    const char* const root = std::getenv("TMPDIR");
    std::string pattern = std::string(root != nullptr && *root != '\0' ? root : "/tmp") +
                          "/ruvello-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
        throw OpenError(failure("cannot make a temporary folder in", quoted(textops::printable(pattern)),
                                errno));
    path_ = pattern;
}

TemporaryFolder::~TemporaryFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void make_folder(const std::string& path) {
    if (::mkdir(path.c_str(), 0777) == 0) return;
    const int error = errno;
    struct stat status {};
    if (error != EEXIST || ::stat(path.c_str(), &status) != 0)
        throw OpenError(failure("cannot make the folder", quoted(textops::printable(path)), error));
    if (!S_ISDIR(status.st_mode)) throw OpenError(failure("cannot make the folder", quoted(textops::printable(path)), ENOTDIR));
}

}  // namespace ruvello
