// A model cut into pieces that translate independently of each other.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "streams.h"

namespace ruvello {

// Every piece but the first begins with a MODULE header. The line loop
// starts afresh at such a line: a statement being gathered ends before it,
// and it opens a new module whatever section came before. A piece therefore
// translates the same on its own as within the whole model. A line that
// looks like a header but continues the parameter list of the module before
// it is no such start, and no piece begins there.
class ModulePieces : public ByteSource {
public:
    // Pieces hold at least `piece_size` bytes, except the last one, and are
    // handed out whole up to `piece_limit` bytes.
    ModulePieces(ByteSource& source, std::size_t piece_size, std::size_t piece_limit);

    enum class End {
        module_header,  // the piece ends before a MODULE header
        input,          // the piece holds the rest of the input, maybe nothing
        limit,          // the piece goes on past piece_limit bytes
    };

    // Puts the next piece, or the first piece_limit bytes of it, into
    // `piece`, reusing its storage.
    End next(std::string& piece);

    // After End::limit, reads the rest of that piece; 0 at its end.
    std::size_t read(char* buffer, std::size_t capacity) override;

private:
    std::size_t next_header_from(std::size_t offset);
    std::size_t complete_lines_end() const;
    void hand_out(std::string& piece, std::size_t length);
    void read_more();

    ByteSource& source_;
    std::size_t piece_size_;
    std::size_t piece_limit_;
    std::unique_ptr<char[]> read_buffer_;
    std::string buffer_;       // read and not yet handed out; begins a line
    std::size_t scanned_ = 0;  // headers and parameter lists are known up to here
    bool parameter_list_open_ = false;
    bool source_done_ = false;
};

}  // namespace ruvello
