#include "parallel.h"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
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
    StringSink output;
    CollectedWarnings warnings;
    std::size_t line_count = 0;
    std::exception_ptr error;
    bool translated = false;
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
        OutputBuffer output(piece.output, std::min(piece_buffer_size, piece.input.size() + 1));
        piece.line_count = translate_into(output, input, piece.warnings, settings, piece.first);
    } catch (...) {
        piece.error = std::current_exception();
    }
}

// Where the translations go, in the order of the model, and how many lines
// of the model they cover so far, for the line numbers of warnings.
struct OrderedOutput {
    ByteSink& sink;
    Warnings& warnings;
    std::size_t lines_before = 0;

    void write(const Piece& piece) {
        if (piece.error) std::rethrow_exception(piece.error);
        sink.write(piece.output.text());
        ShiftedWarnings shifted(warnings, lines_before);
        piece.warnings.replay(shifted);
        lines_before += piece.line_count;
    }
};

// Threads that translate the pieces handed to them, in any order, and write
// them in the order they were handed over: the thread that finishes the
// piece due next writes it, and every piece after it that is finished. A
// fixed number of pieces is in hand at a time; their storage is reused.
class PieceThreads {
public:
    PieceThreads(OrderedOutput& output, const TranslationSettings& settings, std::size_t pieces)
        : output_(output), settings_(settings), pieces_(pieces) {}
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

    // The storage for the next piece, once the piece that used it last is
    // written. Throws what the writing of a piece met.
    Piece& free_piece() {
        std::unique_lock lock(mutex_);
        piece_written_.wait(lock,
                            [this] { return error_ || submitted_ - written_ < pieces_.size(); });
        if (error_) std::rethrow_exception(error_);
        return pieces_[submitted_ % pieces_.size()];
    }

    // Hands over the piece free_piece gave; only while running.
    void submit() {
        {
            const std::lock_guard lock(mutex_);
            Piece& piece = pieces_[submitted_++ % pieces_.size()];
            piece.translated = false;
            piece.error = nullptr;
        }
        work_ready_.notify_one();
    }

    // Waits until every piece handed over is written. Throws what the
    // writing of a piece met.
    void wait_until_written() {
        std::unique_lock lock(mutex_);
        piece_written_.wait(lock, [this] { return error_ || written_ == submitted_; });
        if (error_) std::rethrow_exception(error_);
    }

private:
    void work() {
        std::unique_lock lock(mutex_);
        for (;;) {
            work_ready_.wait(lock, [this] { return stopping_ || started_ < submitted_; });
            if (stopping_) return;
            Piece& piece = pieces_[started_++ % pieces_.size()];
            lock.unlock();
            translate_piece(piece, settings_);
            lock.lock();
            piece.translated = true;
            write_finished_pieces(lock);
        }
    }

    // Writes the pieces due next that are translated, unless another thread
    // is at it already. Called, and returns, with the lock held.
    void write_finished_pieces(std::unique_lock<std::mutex>& lock) {
        if (writing_) return;
        writing_ = true;
        while (!error_ && written_ < submitted_) {
            Piece& piece = pieces_[written_ % pieces_.size()];
            if (!piece.translated) break;
            lock.unlock();
            std::exception_ptr error;
            try {
                output_.write(piece);
            } catch (...) {
                error = std::current_exception();
            }
            lock.lock();
            error_ = error;
            if (!error) ++written_;
            piece_written_.notify_all();
        }
        writing_ = false;
    }

    OrderedOutput& output_;
    const TranslationSettings& settings_;
    std::vector<Piece> pieces_;  // piece k uses pieces_[k % size]
    std::mutex mutex_;
    std::condition_variable work_ready_;
    std::condition_variable piece_written_;
    // Counts of pieces: written_ <= started_ (taken by a thread) <= submitted_.
    std::size_t submitted_ = 0;
    std::size_t started_ = 0;
    std::size_t written_ = 0;
    bool writing_ = false;
    std::exception_ptr error_;  // the first met; nothing is written after it
    bool stopping_ = false;
    std::vector<std::thread> threads_;  // last: they end before the pieces go
};

// Hands the pieces of a model to the threads as they are cut. What is
// translated on the calling thread is written there, once the pieces before
// it are.
class PieceTranslation {
public:
    PieceTranslation(ByteSink& sink, Warnings& warnings, const TranslationSettings& settings,
                     const PieceSizes& sizes)
        : settings_(settings), sizes_(sizes), output_{sink, warnings}, buffer_(sink),
          threads_(output_, settings, sizes.threads + 1) {}

    void run(ByteSource& source) {
        ModulePieces model(source, sizes_.piece, sizes_.limit);
        for (bool first = true;; first = false) {
            Piece& piece = threads_.free_piece();
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
                threads_.submit();
            } else {
                translate_here(piece.input, first);
            }
            if (end == ModulePieces::End::input) break;
        }
        threads_.wait_until_written();
    }

private:
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
        threads_.wait_until_written();
        ShiftedWarnings shifted(output_.warnings, output_.lines_before);
        output_.lines_before += translate_into(buffer_, input, shifted, settings_, first);
    }

    const TranslationSettings& settings_;
    const PieceSizes& sizes_;
    OrderedOutput output_;
    OutputBuffer buffer_;  // for what is translated here
    PieceThreads threads_;
    std::uint64_t read_ = 0;  // bytes of the model in the pieces so far
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
