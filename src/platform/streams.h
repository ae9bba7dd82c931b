// Buffered line input with a one-line step back, and buffered output, over
// byte sources and sinks that may be files, pipes or strings in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "textops/textops.h"

namespace ruvello {

struct ReadError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct WriteError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// With --fatal-warnings, a run whose input warns stops; what() says what it
// left undone.
struct WarningsAreFatal : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Reads at most `capacity` bytes into `buffer` and returns how many; 0 at
    // the end of the input. Throws ReadError.
    virtual std::size_t read(char* buffer, std::size_t capacity) = 0;
    // How many bytes are left to read, when that is known beforehand.
    virtual std::optional<std::uint64_t> size() const { return std::nullopt; }
};

class ByteSink {
public:
    virtual ~ByteSink() = default;
    // Writes all of `bytes`. Throws WriteError.
    virtual void write(std::string_view bytes) = 0;
};

// Serves a text in memory, at most `chunk` bytes per read.
class StringSource : public ByteSource {
public:
    explicit StringSource(std::string_view text, std::size_t chunk = SIZE_MAX)
        : text_(text), chunk_(chunk) {}
    std::size_t read(char* buffer, std::size_t capacity) override;
    std::optional<std::uint64_t> size() const override { return text_.size(); }

private:
    std::string_view text_;
    std::size_t chunk_;
};

class StringSink : public ByteSink {
public:
    void write(std::string_view bytes) override { text_ += bytes; }
    const std::string& text() const { return text_; }
    // Empties the text, keeping its storage.
    void clear() { text_.clear(); }

private:
    std::string text_;
};

// Reads physical lines: each ends after its newline, and the last one may
// have none. A line of any length is one line; its view points into the
// reader's buffer, which grows to hold the longest line.
class LineReader {
public:
    static constexpr std::size_t default_buffer_size = std::size_t{1} << 18;

    explicit LineReader(ByteSource& source, std::size_t buffer_size = default_buffer_size);
    // Reads the lines of a text in memory where it lies, without a copy. The
    // text must outlive the reader.
    explicit LineReader(std::string_view text);

    // Sets `line` to the next line and returns true, or returns false at the
    // end of the input, leaving `line` alone. The view stays valid until the
    // next call.
    bool next_line(std::string_view& line) {
        if (!replay_last_line_ && !take_buffered_line() && !take_line_reading_more())
            return false;
        replay_last_line_ = false;
        ++line_number_;
        line = last_line_;
        return true;
    }

    // Like next_line, but a line longer than `cut_at` bytes, read from a
    // source, comes as its first `cut_at` bytes: line_goes_on() then tells
    // that the rest is to come, in pieces from next_piece or with the whole
    // line from whole_line. So a line that is only copied needs no more
    // memory than `cut_at` bytes, which must be at most the buffer's size.
    bool next_line_or_start(std::string_view& line) {
        // A text in memory is held whole anyway.
        if (replay_last_line_ || source_ == nullptr) return next_line(line);
        if (!take_buffered_line_within(cut_at_size_) && !take_line_or_cut(cut_at_size_))
            return false;
        ++line_number_;
        line = last_line_;
        return true;
    }
    bool line_goes_on() const { return goes_on_; }
    // The next piece of a line cut, its line end in the last; false once the
    // line is over.
    bool next_piece(std::string_view& piece);
    // The line cut, whole: reads on to its end.
    std::string_view whole_line();

    // Makes the next call of next_line return the line it returned last.
    void step_back();

    // The unread bytes the buffer holds, as they lie, so that a caller that
    // only copies lines can take many at once with skip(): whole lines and
    // maybe the start of one more. Empty while a line stepped back waits.
    std::string_view buffered() const {
        if (replay_last_line_) return {};
        return {data_ + begin_, end_ - begin_};
    }
    // Takes `lines`, the first `count` whole lines of buffered(), as read.
    void skip(std::string_view lines, std::size_t count) {
        begin_ += lines.size();
        last_line_ = lines.substr(lines.substr(0, lines.size() - 1).rfind('\n') + 1);
        line_number_ += count;
        goes_on_ = false;
    }

    // Keeps the line returned last, and every line after it, where they lie
    // until release(): held() is then their text, joined as in the input,
    // to the end of the line returned last (a line stepped back included).
    // Like a line, that text stays valid after release() until the next
    // line is read.
    void hold() { held_from_ = static_cast<std::size_t>(last_line_.data() - data_); }
    std::string_view held() const { return {data_ + held_from_, begin_ - held_from_}; }
    void release() { held_from_ = not_held; }

    // 1-based number of the line returned last (0 before the first).
    std::size_t line_number() const { return line_number_; }

private:
    // The next line, when the buffer holds it whole; the first `searched`
    // unread bytes are known to hold no newline.
    bool take_buffered_line(std::size_t searched = 0) {
        const char* newline = textops::find_byte(data_ + begin_ + searched, data_ + end_, '\n');
        if (newline == data_ + end_) return false;
        take_line_up_to(newline - data_ + 1);
        return true;
    }
    // The next line, when the buffer holds it whole and it is no longer
    // than `cut_at`.
    bool take_buffered_line_within(std::size_t cut_at) {
        const char* const newline = textops::find_byte(data_ + begin_, data_ + end_, '\n');
        if (newline == data_ + end_ || static_cast<std::size_t>(newline - data_) - begin_ >= cut_at)
            return false;
        goes_on_ = false;
        take_line_up_to(newline - data_ + 1);
        return true;
    }
    void take_line_up_to(std::size_t end) {
        last_line_ = std::string_view(data_ + begin_, end - begin_);
        begin_ = end;
    }
    bool take_line_reading_more();
    // The next line, or the next `cut_at` bytes of one, from begin_ on:
    // false when nothing is left. Sets goes_on_.
    bool take_line_or_cut(std::size_t cut_at);
    void refill();

    ByteSource* source_;  // none for a text in memory
    std::unique_ptr<char[]> buffer_;
    const char* data_;  // the buffer, or the text in memory
    std::size_t capacity_;
    std::size_t begin_ = 0;  // unread bytes are [begin_, end_)
    std::size_t end_ = 0;
    bool source_done_ = false;
    std::string_view last_line_;
    bool replay_last_line_ = false;
    std::size_t line_number_ = 0;
    std::size_t cut_at_size_;  // the buffer's first size
    bool goes_on_ = false;     // last_line_ is a piece of a line that goes on after it
    std::size_t cut_at_ = 0;   // the size of the pieces of that line
    static constexpr std::size_t not_held = SIZE_MAX;
    std::size_t held_from_ = not_held;  // where the lines held start
};

// Collects output in a large buffer and hands it to the sink in big writes.
class OutputBuffer {
public:
    static constexpr std::size_t default_capacity = std::size_t{1} << 18;

    explicit OutputBuffer(ByteSink& sink, std::size_t capacity = default_capacity);

    [[gnu::always_inline]] void put(std::string_view text) {
        if (text.size() <= capacity_ - used_) {
            std::memcpy(buffer_.get() + used_, text.data(), text.size());
            used_ += text.size();
        } else {
            put_through(text);
        }
    }

    // Puts `text`, which the caller knows to hold `line_ends` line ends: they
    // need no count.
    [[gnu::always_inline]] void put_counted(std::string_view text, std::size_t line_ends) {
        if (counting_ && counted_ == used_ && text.size() <= capacity_ - used_) {
            std::memcpy(buffer_.get() + used_, text.data(), text.size());
            counted_ = used_ += text.size();
            line_ends_ += line_ends;
            return;
        }
        put(text);
    }

    // Hands everything buffered to the sink.
    void flush();

    // From now on, counts the line ends written, when asked and over all
    // that was written since it last counted: a count per line or per piece
    // written would cost more than the pieces.
    void count_line_ends() { counting_ = true; }
    // The line ends written since counting began, those still buffered
    // included.
    std::size_t line_ends() {
        count_to(used_);
        return line_ends_;
    }
    // Whether the next byte starts a line.
    bool at_line_start() const {
        return used_ > 0 ? buffer_[used_ - 1] == '\n' : last_written_ == '\n';
    }

private:
    void put_through(std::string_view text);
    void count_to(std::size_t end) {
        if (end == counted_) return;
        line_ends_ += textops::count_byte(std::string_view(buffer_.get() + counted_, end - counted_), '\n');
        counted_ = end;
    }

    ByteSink& sink_;
    std::unique_ptr<char[]> buffer_;
    std::size_t capacity_;
    std::size_t used_ = 0;
    char last_written_ = '\n';   // the last byte handed to the sink; none yet counts as a line end
    bool counting_ = false;
    std::size_t counted_ = 0;    // the bytes of the buffer counted
    std::size_t line_ends_ = 0;
};

}  // namespace ruvello
