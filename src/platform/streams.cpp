#include "platform/streams.h"

#include <algorithm>

namespace ruvello {

std::size_t StringSource::read(char* buffer, std::size_t capacity) {
    const std::size_t n = std::min({capacity, chunk_, text_.size()});
    std::memcpy(buffer, text_.data(), n);
    text_.remove_prefix(n);
    return n;
}

LineReader::LineReader(ByteSource& source, std::size_t buffer_size)
    : source_(&source), buffer_(new char[std::max<std::size_t>(buffer_size, 1)]),
      data_(buffer_.get()), capacity_(std::max<std::size_t>(buffer_size, 1)),
      cut_at_size_(capacity_) {}

LineReader::LineReader(std::string_view text)
    : source_(nullptr), data_(text.data()), capacity_(text.size()), end_(text.size()),
      source_done_(true), cut_at_size_(capacity_) {}

// Reads on until the buffer holds the rest of the line or the input ends;
// false when nothing is left. The part already in the buffer has no newline.
bool LineReader::take_line_reading_more() {
    for (;;) {
        const std::size_t searched = end_ - begin_;
        if (source_done_) {
            if (searched == 0) return false;
            take_line_up_to(end_);
            return true;
        }
        refill();
        if (take_buffered_line(searched)) return true;
    }
}

bool LineReader::take_line_or_cut(std::size_t cut_at) {
    cut_at_ = cut_at;
    for (;;) {
        const std::size_t unread = end_ - begin_;
        const char* const reach = data_ + begin_ + std::min(unread, cut_at);
        const char* const newline = textops::find_byte(data_ + begin_, reach, '\n');
        goes_on_ = newline == reach && unread >= cut_at && cut_at > 0;
        if (newline != reach) {
            take_line_up_to(newline - data_ + 1);
        } else if (goes_on_) {
            // A piece: begin_ stays at its start until the next one is taken.
            last_line_ = std::string_view(data_ + begin_, cut_at);
        } else if (source_done_) {
            if (unread == 0) return false;
            take_line_up_to(end_);
        } else {
            refill();
            continue;
        }
        return true;
    }
}

bool LineReader::next_piece(std::string_view& piece) {
    if (!goes_on_) return false;
    begin_ += last_line_.size();
    if (!take_line_or_cut(cut_at_)) {
        goes_on_ = false;
        return false;
    }
    piece = last_line_;
    return true;
}

std::string_view LineReader::whole_line() {
    if (!goes_on_) return last_line_;
    goes_on_ = false;
    // The piece is still at begin_: the rest is read after it.
    const std::size_t searched = last_line_.size();
    if (!take_buffered_line(searched)) take_line_reading_more();
    return last_line_;
}

void LineReader::step_back() {
    replay_last_line_ = true;
    --line_number_;
}

// Moves the unread part of the current line, and the lines held before it,
// to the front of the buffer, doubling the buffer when they fill it, and
// reads more after them.
void LineReader::refill() {
    if (const std::size_t kept = std::min(begin_, held_from_); kept > 0) {
        std::memmove(buffer_.get(), buffer_.get() + kept, end_ - kept);
        end_ -= kept;
        begin_ -= kept;
        if (held_from_ != not_held) held_from_ -= kept;
    }
    if (end_ == capacity_) {
        std::unique_ptr<char[]> larger(new char[capacity_ * 2]);
        std::memcpy(larger.get(), buffer_.get(), end_);
        buffer_ = std::move(larger);
        data_ = buffer_.get();
        capacity_ *= 2;
    }
    const std::size_t n = source_->read(buffer_.get() + end_, capacity_ - end_);
    if (n == 0) source_done_ = true;
    end_ += n;
}

OutputBuffer::OutputBuffer(ByteSink& sink, std::size_t capacity)
    : sink_(sink), buffer_(new char[std::max<std::size_t>(capacity, 1)]),
      capacity_(std::max<std::size_t>(capacity, 1)) {}

void OutputBuffer::flush() {
    if (used_ == 0) return;
    if (counting_) count_to(used_);
    sink_.write(std::string_view(buffer_.get(), used_));
    last_written_ = buffer_[used_ - 1];
    used_ = counted_ = 0;
}

void OutputBuffer::put_through(std::string_view text) {
    flush();
    if (text.size() >= capacity_) {
        if (counting_) line_ends_ += textops::count_byte(text, '\n');
        sink_.write(text);
        last_written_ = text.back();
    } else {
        std::memcpy(buffer_.get(), text.data(), text.size());
        used_ = text.size();
    }
}

}  // namespace ruvello
