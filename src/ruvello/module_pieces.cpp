#include "module_pieces.h"

#include <algorithm>
#include <cstring>

#include "textops/textops.h"
#include "translator.h"

namespace ruvello {

namespace {

constexpr std::size_t read_size = std::size_t{1} << 16;

// Offset just past the newline of the line holding offset `at`; the line
// must have one.
std::size_t line_end(std::string_view text, std::size_t at) { return text.find('\n', at) + 1; }

}  // namespace

ModulePieces::ModulePieces(ByteSource& source, std::size_t piece_size, std::size_t piece_limit)
    : source_(source), piece_size_(std::max<std::size_t>(piece_size, 1)),
      piece_limit_(piece_limit), read_buffer_(new char[read_size]) {}

ModulePieces::End ModulePieces::next(std::string& piece) {
    for (;;) {
        const std::size_t header = next_header_from(piece_size_);
        if (header != std::string::npos) {
            hand_out(piece, header);
            return End::module_header;
        }
        if (source_done_) {
            hand_out(piece, buffer_.size());
            return End::input;
        }
        // Whole lines only, so that the buffer still begins a line.
        const std::size_t lines = complete_lines_end();
        if (lines >= piece_limit_) {
            hand_out(piece, lines);
            return End::limit;
        }
        read_more();
    }
}

std::size_t ModulePieces::read(char* buffer, std::size_t capacity) {
    for (;;) {
        // The piece has gone past its minimum size: it ends at any header.
        const std::size_t header = next_header_from(0);
        const std::size_t available = header != std::string::npos ? header
                                      : source_done_                ? buffer_.size()
                                                                    : complete_lines_end();
        if (available > 0 || header != std::string::npos || source_done_) {
            const std::size_t n = std::min(capacity, available);
            std::memcpy(buffer, buffer_.data(), n);
            buffer_.erase(0, n);
            scanned_ -= std::min(scanned_, n);
            return n;
        }
        read_more();
    }
}

// The piece takes the buffer's storage over; the buffer keeps what follows.
void ModulePieces::hand_out(std::string& piece, std::size_t length) {
    piece.swap(buffer_);
    buffer_.assign(piece, length);
    piece.resize(length);
    scanned_ -= std::min(scanned_, length);
}

// The offset of the first MODULE header at or after `offset` within the
// whole lines buffered, or npos. Walks every header from where the last walk
// stopped, since a header with an unclosed parameter list turns the lines up
// to the next ')' into continuation lines.
std::size_t ModulePieces::next_header_from(std::size_t offset) {
    const std::string_view lines(buffer_.data(), complete_lines_end());
    while (scanned_ < lines.size()) {
        if (parameter_list_open_) {
            const std::size_t close = lines.find(')', scanned_);
            if (close == std::string_view::npos) break;
            scanned_ = line_end(lines, close);
            parameter_list_open_ = false;
            continue;
        }
        const std::size_t mention = textops::find(lines, "MODULE", scanned_);
        if (mention == std::string_view::npos) break;
        const std::size_t end = line_end(lines, mention);
        const std::string_view line = lines.substr(mention, end - mention);
        if ((mention == 0 || lines[mention - 1] == '\n') && is_module_header(line)) {
            if (mention >= offset) {
                scanned_ = mention;  // what lies before is known: no header
                return mention;
            }
            parameter_list_open_ = leaves_parameter_list_open(line);
        }
        scanned_ = end;
    }
    scanned_ = lines.size();
    return std::string::npos;
}

std::size_t ModulePieces::complete_lines_end() const {
    const void* newline = memrchr(buffer_.data(), '\n', buffer_.size());
    return newline == nullptr ? 0 : static_cast<const char*>(newline) - buffer_.data() + 1;
}

// Reads through a buffer of its own: growing the string to read into it
// would first fill the new room, however little the read brings.
void ModulePieces::read_more() {
    const std::size_t n = source_.read(read_buffer_.get(), read_size);
    buffer_.append(read_buffer_.get(), n);
    if (n == 0) source_done_ = true;
}

}  // namespace ruvello
