// Files on disk: the model read from its path, and the output written so that
// it appears at its path only when complete.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <optional>
#include <string>

#include "streams.h"

namespace ruvello {

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

class FileSource : public ByteSource {
public:
    explicit FileSource(int fd, std::optional<std::uint64_t> size = std::nullopt)
        : fd_(fd), size_(size) {}
    std::size_t read(char* buffer, std::size_t capacity) override;
    std::optional<std::uint64_t> size() const override { return size_; }

private:
    int fd_;
    std::optional<std::uint64_t> size_;
};

class FileSink : public ByteSink {
public:
    explicit FileSink(int fd) : fd_(fd) {}
    void write(std::string_view bytes) override;

private:
    int fd_;
};

class InputFile {
public:
    // Nothing when the file cannot be opened for reading.
    static std::optional<InputFile> open(const std::string& path);

    int fd() const { return fd_.get(); }
    // The size of a regular file; nothing for a pipe, a device and the like.
    std::optional<std::uint64_t> size() const;
    // Whether `path` names this very file, through any spelling or link.
    bool is_file_at(const std::string& path) const;

private:
    InputFile(FileDescriptor fd, const struct stat& status) : fd_(std::move(fd)), status_(status) {}

    FileDescriptor fd_;
    struct stat status_;
};

// Written to a temporary file beside the path, and put in place of the path by
// commit. Until then, the path keeps whatever it held; a file never committed
// is removed. A path that is a symbolic link keeps it: the file it leads to
// is the one replaced.
class OutputFile {
public:
    // Nothing when the temporary file cannot be created.
    static std::optional<OutputFile> create(const std::string& requested_path);
    OutputFile(OutputFile&& other) noexcept;
    OutputFile& operator=(OutputFile&&) = delete;
    ~OutputFile();

    int fd() const { return fd_.get(); }
    // Throws WriteError when the file cannot be completed or put in place.
    void commit();

private:
    // Puts the output in place of the file at the path, when there is one to
    // swap with; false when there is none.
    bool swap_with_existing_file();
    OutputFile(FileDescriptor fd, std::string path, std::string temporary_path)
        : fd_(std::move(fd)), path_(std::move(path)), temporary_path_(std::move(temporary_path)) {}

    FileDescriptor fd_;
    std::string path_;
    std::string temporary_path_;  // empty once committed or moved from
};

}  // namespace ruvello
