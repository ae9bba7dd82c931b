#include "parallel.h"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "module_pieces.h"

namespace ruvello {

namespace {

// A piece's output is held until the pieces before it are written: beyond
// this many processes it could grow too large to hold.
constexpr int max_processes_in_pieces = 64;

constexpr std::size_t piece_buffer_size = std::size_t{1} << 16;

// Keeps the warnings of a piece until they can be written in order.
class CollectedWarnings : public Warnings {
public:
    void warn(std::size_t line_number, std::string_view message) override {
        list_.push_back({line_number, std::string(message)});
    }
    void clear() { list_.clear(); }
    void replay(Warnings& target) const {
        for (const Warning& warning : list_) target.warn(warning.line_number, warning.message);
    }

private:
    struct Warning {
        std::size_t line_number;
        std::string message;
    };
    std::vector<Warning> list_;
};

// Passes warnings on with their line numbers counted from further up.
class ShiftedWarnings : public Warnings {
public:
    ShiftedWarnings(Warnings& target, std::size_t lines_before)
        : target_(target), lines_before_(lines_before) {}
    void warn(std::size_t line_number, std::string_view message) override {
        target_.warn(lines_before_ + line_number, message);
    }

private:
    Warnings& target_;
    std::size_t lines_before_;
};

class AppendingSink : public ByteSink {
public:
    explicit AppendingSink(std::string& text) : text_(text) {}
    void write(std::string_view bytes) override { text_ += bytes; }

private:
    std::string& text_;
};

// The bytes already read, then the rest of the source.
class ChainedSource : public ByteSource {
public:
    ChainedSource(std::string_view first, ByteSource& rest) : first_(first), rest_(rest) {}
    std::size_t read(char* buffer, std::size_t capacity) override {
        const std::size_t n = first_.read(buffer, capacity);
        return n > 0 ? n : rest_.read(buffer, capacity);
    }

private:
    StringSource first_;
    ByteSource& rest_;
};

// One piece of the model and what its translation gave.
struct Piece {
    std::string input;
    bool first = false;  // the banner goes before it
    std::string output;
    CollectedWarnings warnings;
    std::size_t line_count = 0;
    std::exception_ptr error;
    bool done = false;
};

// Translates into the output and flushes it; returns the number of lines read.
std::size_t translate_into(OutputBuffer& output, LineReader& input, Warnings& warnings,
                           const TranslationSettings& settings, bool with_banner) {
    Translator translator(input, output, warnings, settings);
    if (with_banner) translator.write_banner();
    translator.translate_lines();
    output.flush();
    return input.line_number();
}

void translate_piece(Piece& piece, const TranslationSettings& settings) {
    try {
        piece.output.clear();
        piece.warnings.clear();
        LineReader input(piece.input);
        AppendingSink sink(piece.output);
        OutputBuffer output(sink, std::min(piece_buffer_size, piece.input.size() + 1));
        piece.line_count = translate_into(output, input, piece.warnings, settings, piece.first);
    } catch (...) {
        piece.error = std::current_exception();
    }
}

// Threads that translate the pieces handed to them, in any order.
class PieceThreads {
public:
    explicit PieceThreads(const TranslationSettings& settings) : settings_(settings) {}
    PieceThreads(const PieceThreads&) = delete;
    PieceThreads& operator=(const PieceThreads&) = delete;

    ~PieceThreads() {
        {
            const std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        work_ready_.notify_all();
        for (std::thread& thread : threads_) thread.join();
    }

    // Starts up to `count` threads; as many as the system allows.
    void start(unsigned count) {
        try {
            while (threads_.size() < count) threads_.emplace_back([this] { work(); });
        } catch (const std::system_error&) {
        }
    }

    bool running() const { return !threads_.empty(); }

    // Only while running.
    void submit(Piece& piece) {
        piece.done = false;
        piece.error = nullptr;
        {
            const std::lock_guard lock(mutex_);
            waiting_.push_back(&piece);
        }
        work_ready_.notify_one();
    }

    void wait(Piece& piece) {
        std::unique_lock lock(mutex_);
        piece_done_.wait(lock, [&] { return piece.done; });
    }

private:
    void work() {
        std::unique_lock lock(mutex_);
        for (;;) {
            work_ready_.wait(lock, [this] { return stopping_ || !waiting_.empty(); });
            if (stopping_) return;
            Piece& piece = *waiting_.front();
            waiting_.pop_front();
            lock.unlock();
            translate_piece(piece, settings_);
            lock.lock();
            piece.done = true;
            piece_done_.notify_all();
        }
    }

    const TranslationSettings& settings_;
    std::mutex mutex_;
    std::condition_variable work_ready_;
    std::condition_variable piece_done_;
    std::deque<Piece*> waiting_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

// Hands the pieces of a model to the threads as they are cut, and writes
// their translations in the order of the pieces.
class PieceTranslation {
public:
    PieceTranslation(ByteSink& sink, Warnings& warnings, const TranslationSettings& settings,
                     const PieceSizes& sizes)
        : sink_(sink), warnings_(warnings), settings_(settings), sizes_(sizes), output_(sink),
          pieces_(sizes.threads + 1), threads_(settings) {}

    void run(ByteSource& source) {
        ModulePieces model(source, sizes_.piece, sizes_.limit);
        for (bool first = true;; first = false) {
            if (submitted_ - written_ == pieces_.size()) write_next();
            Piece& piece = pieces_[submitted_ % pieces_.size()];
            const ModulePieces::End end = model.next(piece.input);
            if (end == ModulePieces::End::limit) {
                translate_long_piece(piece.input, model, first);
                continue;
            }
            if (piece.input.empty() && !first) break;  // an empty model still gets its banner
            read_ += piece.input.size();
            // A model that fits in one piece needs no threads, nor does the
            // start of any model.
            if (end == ModulePieces::End::module_header && read_ > sizes_.before_threads)
                threads_.start(sizes_.threads);
            if (threads_.running()) {
                piece.first = first;
                threads_.submit(piece);
                ++submitted_;
            } else {
                translate_here(piece.input, first);
            }
            if (end == ModulePieces::End::input) break;
        }
        while (written_ < submitted_) write_next();
    }

private:
    void write_next() {
        Piece& piece = pieces_[written_++ % pieces_.size()];
        threads_.wait(piece);
        if (piece.error) std::rethrow_exception(piece.error);
        sink_.write(piece.output);
        ShiftedWarnings shifted(warnings_, lines_before_);
        piece.warnings.replay(shifted);
        lines_before_ += piece.line_count;
    }

    // A piece too long to hold is written line by line as it is read, once
    // the pieces before it are out.
    void translate_long_piece(std::string_view start, ModulePieces& rest, bool first) {
        ChainedSource piece(start, rest);
        LineReader input(piece);
        translate_here(input, first);
    }

    void translate_here(std::string_view piece, bool first) {
        LineReader input(piece);
        translate_here(input, first);
    }

    void translate_here(LineReader& input, bool first) {
        while (written_ < submitted_) write_next();
        ShiftedWarnings shifted(warnings_, lines_before_);
        lines_before_ += translate_into(output_, input, shifted, settings_, first);
    }

    ByteSink& sink_;
    Warnings& warnings_;
    const TranslationSettings& settings_;
    const PieceSizes& sizes_;
    OutputBuffer output_;  // for what is translated here
    std::vector<Piece> pieces_;  // before the threads, which use them until they end
    PieceThreads threads_;
    std::size_t submitted_ = 0;
    std::size_t written_ = 0;
    std::size_t lines_before_ = 0;  // in the pieces written
    std::uint64_t read_ = 0;        // bytes of the model in the pieces so far
};

}  // namespace

PieceSizes piece_sizes_for(int process_count, std::optional<std::uint64_t> model_size) {
    constexpr std::size_t output_per_piece = std::size_t{1} << 20;
    const std::size_t piece =
        std::clamp<std::size_t>(output_per_piece / std::max(process_count, 1),
                                std::size_t{16} << 10, std::size_t{128} << 10);
    // On a single core, threads would only add work.
    const unsigned cores = std::thread::hardware_concurrency();
    constexpr std::size_t small_model = std::size_t{8} << 20;
    const bool known_large = model_size && *model_size > small_model;
    const std::size_t before_threads = known_large ? 0 : small_model;
    return {piece, 4 * piece, cores < 2 ? 0 : std::min(cores, 4u), before_threads};
}

void translate_in_pieces(ByteSource& source, ByteSink& sink, std::ostream& warnings,
                         const TranslationSettings& settings, const PieceSizes& sizes) {
    WarningStream warning_stream(warnings, settings.source_name);
    if (settings.process_count > max_processes_in_pieces) {
        LineReader input(source);
        OutputBuffer output(sink);
        translate_into(output, input, warning_stream, settings, true);
    } else {
        PieceTranslation(sink, warning_stream, settings, sizes).run(source);
    }
}

}  // namespace ruvello
