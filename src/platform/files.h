// Files on disk: the model read from its path, and the output written so that
// it appears at its path only when complete. Every call of the operating
// system on files is here.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

#include "platform/streams.h"

namespace ruvello {

// A file that cannot be opened or created; what() says which and why.
struct OpenError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Opens /dev/null on each of the standard descriptors that is closed, so
// that no file the run opens takes the place of standard output or error.
void open_standard_descriptors();

// Owns an open file descriptor.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    ~FileDescriptor();

    int get() const { return fd_; }
    int release();
    // Closes the descriptor and tells whether everything written reached the file.
    bool close();

private:
    int fd_;
};

// `name` is the file as messages name it: "'m.in'", "standard input".
class FileSource : public ByteSource {
public:
    FileSource(int fd, std::string name, std::optional<std::uint64_t> size = std::nullopt)
        : fd_(fd), name_(std::move(name)), size_(size) {}
    std::size_t read(char* buffer, std::size_t capacity) override;
    std::optional<std::uint64_t> size() const override { return size_; }

private:
    int fd_;
    std::string name_;
    std::optional<std::uint64_t> size_;
};

class FileSink : public ByteSink {
public:
    FileSink(int fd, std::string name) : fd_(fd), name_(std::move(name)) {}
    void write(std::string_view bytes) override;

private:
    int fd_;
    std::string name_;
};

class InputFile {
public:
    // Throws OpenError; `shown` is the path as messages show it.
    static InputFile open(const std::string& path, const std::string& shown);
    // Standard input, read through a descriptor of its own.
    static InputFile standard_input();

    int fd() const { return fd_.get(); }
    // The size of a regular file; nothing for a pipe, a device and the like.
    std::optional<std::uint64_t> size() const;
    // Whether `path` names this very file, through any spelling or link.
    bool is_file_at(const std::string& path) const;
    // Whether standard output writes into this very file.
    bool is_standard_output() const;
    // Whether a regular file's size or modification time is no longer what
    // it was when it was opened.
    bool changed_since_opened() const;

private:
    InputFile(FileDescriptor fd, const struct stat& status) : fd_(std::move(fd)), status_(status) {}

    FileDescriptor fd_;
    struct stat status_;
};

// The whole of the file open as `input`, named `name` in messages ("'m.in'",
// "standard input"). Throws ReadError.
std::string read_whole(const InputFile& input, const std::string& name);

// Written to a hidden temporary file beside the file it replaces, and put in
// its place by commit. Until then the path keeps whatever it held; a file
// never committed is removed, also when a signal ends the run.
class OutputFile {
public:
    // Throws OpenError; `shown` is the path as messages show it.
    static OutputFile create(const std::string& path, const std::string& shown);
    OutputFile(OutputFile&& other) noexcept;
    OutputFile& operator=(OutputFile&&) = delete;
    ~OutputFile();

    int fd() const { return fd_.get(); }
    // Throws WriteError when the file cannot be completed or put in place.
    void commit();

private:
    OutputFile(FileDescriptor directory, std::string name, std::string shown);
    bool swap_with_existing_file();
    [[noreturn]] void fail_to_commit(int error) const;

    FileDescriptor directory_;  // where the file and its temporary file are
    std::string name_;          // the file's name in it
    std::string shown_;
    std::string temporary_name_;  // empty once committed or moved from
    FileDescriptor fd_;
};

// Writes `text` to `path` as OutputFile does: complete, or not at all.
// Throws OpenError and WriteError.
void write_whole_file(const std::string& path, std::string_view text);

// A private folder under TMPDIR (else /tmp), removed with what is in it.
class TemporaryFolder {
public:
    // Throws OpenError.
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Makes the folder `path` unless it is there. Throws OpenError, also when
// something other than a folder is there.
void make_folder(const std::string& path);

}  // namespace ruvello
