#include "translate/pieces.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/cpus.h"
#include "textops/textops.h"

namespace ruvello {

namespace {

constexpr std::size_t read_size = std::size_t{1} << 16;
constexpr std::size_t piece_output_buffer = std::size_t{1} << 16;

// Cuts a model into pieces of whole lines, each but the first beginning at a
// MODULE header.
class ModuleCutter {
public:
    ModuleCutter(ByteSource& model, const PiecePlan& plan)
        : model_(model), piece_size_(std::max<std::size_t>(plan.piece_size, 1)),
          piece_limit_(plan.piece_limit), read_buffer_(new char[read_size]) {}

    // Puts into `piece` (reusing its storage) the model from where the last
    // piece ended up to the first MODULE header after piece_size bytes, or to
    // its end. False when the model is at its end, or when no header comes
    // within piece_limit bytes: what is left is then rest() and the model.
    bool next(std::string& piece) {
        for (;;) {
            const std::size_t header = next_header_from(piece_size_);
            if (header != std::string::npos) return hand_out(piece, header);
            if (model_done_) return !buffer_.empty() && hand_out(piece, buffer_.size());
            if (buffer_.size() > piece_limit_) return false;
            read_more();
        }
    }

    std::string_view rest() const { return buffer_; }
    bool finished() const { return model_done_ && buffer_.empty(); }

private:
    // The piece takes over the buffer's storage; the buffer keeps what follows.
    bool hand_out(std::string& piece, std::size_t length) {
        piece.swap(buffer_);
        buffer_.assign(piece, length);
        piece.resize(length);
        scanned_ -= std::min(scanned_, length);
        lines_end_ -= std::min(lines_end_, length);
        return true;
    }

    // The offset of the first MODULE header at or after `offset` within the
    // whole lines read, or npos. Every header is looked at, from where the
    // last search stopped, since a header's parameter list may go on over
    // lines that look like headers.
    std::size_t next_header_from(std::size_t offset) {
        const std::string_view lines(buffer_.data(), lines_end_);
        while (scanned_ < lines.size()) {
            if (in_parameter_list_) {
                const std::size_t end = lines.find('\n', scanned_) + 1;
                in_parameter_list_ = !ends_module_header(lines.substr(scanned_, end - scanned_), false);
                scanned_ = end;
                continue;
            }
            const std::size_t mention = textops::find(lines, "MODULE", scanned_);
            if (mention == std::string_view::npos) break;
            const std::size_t end = lines.find('\n', mention) + 1;
            const std::string_view line = lines.substr(mention, end - mention);
            const std::optional<smv::HeaderKeyword> header = header_keyword(line);
            if ((mention == 0 || lines[mention - 1] == '\n') && header &&
                header->opens == Section::module) {
                if (mention >= offset) {
                    scanned_ = mention;
                    return mention;
                }
                in_parameter_list_ = !ends_module_header(line, true);
            }
            scanned_ = end;
        }
        scanned_ = lines.size();
        return std::string::npos;
    }

    // Only the bytes just read are searched for the end of the whole lines,
    // so that a line of any length costs time in proportion to it.
    void read_more() {
        const std::size_t n = model_.read(read_buffer_.get(), read_size);
        if (n == 0) {
            model_done_ = true;
            return;
        }
        const std::size_t newline = std::string_view(read_buffer_.get(), n).rfind('\n');
        if (newline != std::string_view::npos) lines_end_ = buffer_.size() + newline + 1;
        buffer_.append(read_buffer_.get(), n);
    }

    ByteSource& model_;
    const std::size_t piece_size_;
    const std::size_t piece_limit_;
    std::unique_ptr<char[]> read_buffer_;
    std::string buffer_;             // read and not handed out; begins a line
    std::size_t lines_end_ = 0;      // the end of the whole lines in buffer_
    std::size_t scanned_ = 0;        // headers are known up to here
    bool in_parameter_list_ = false;  // at scanned_, a header's parameter list goes on
    bool model_done_ = false;
};

struct Warning {
    std::size_t line_number;
    std::string_view kind;
    std::string message;
    bool once;

    void give(Warnings& warnings) const {
        if (once) warnings.warn_once(line_number, kind, message);
        else warnings.warn(line_number, kind, message);
    }
};

class CollectedWarnings : public Warnings {
public:
    explicit CollectedWarnings(std::vector<Warning>& list) : list_(list) {}
    void warn(std::size_t line_number, std::string_view kind, std::string_view message) override {
        list_.push_back({line_number, kind, std::string(message), false});
    }
    void warn_once(std::size_t line_number, std::string_view kind,
                   std::string_view message) override {
        list_.push_back({line_number, kind, std::string(message), true});
    }

private:
    std::vector<Warning>& list_;
};

// Passes warnings on with their line numbers counted from further up.
class ShiftedWarnings : public Warnings {
public:
    ShiftedWarnings(Warnings& target, std::size_t lines_before)
        : target_(target), lines_before_(lines_before) {}
    void warn(std::size_t line_number, std::string_view kind, std::string_view message) override {
        target_.warn(lines_before_ + line_number, kind, message);
    }
    void warn_once(std::size_t line_number, std::string_view kind,
                   std::string_view message) override {
        target_.warn_once(lines_before_ + line_number, kind, message);
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

// A piece of the model and its translation. Its storage goes from piece to
// piece.
struct Piece {
    std::string input;
    StringSink output;
    std::vector<Warning> warnings;
    std::size_t line_count = 0;
};

Piece translate_piece(Piece piece, const TranslationSettings& settings) {
    piece.output.clear();
    piece.warnings.clear();
    LineReader input(piece.input);
    OutputBuffer output(piece.output, piece_output_buffer);
    CollectedWarnings warnings(piece.warnings);
    Translator(input, output, warnings, settings).translate_lines();
    output.flush();
    piece.line_count = input.line_number();
    return piece;
}

// Threads that run the jobs handed to them, in the order they came.
class Workers {
public:
    using Job = std::packaged_task<void()>;  // any callable, even one that cannot be copied

    explicit Workers(unsigned count) {
        try {
            while (threads_.size() < count) threads_.emplace_back([this] { work(); });
        } catch (const std::system_error&) {
            // As many as the system allows; with none, a job runs when handed over.
        }
    }
    Workers(const Workers&) = delete;
    Workers& operator=(const Workers&) = delete;

    // Jobs not started yet are dropped.
    ~Workers() {
        {
            const std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        job_ready_.notify_all();
        for (std::thread& thread : threads_) thread.join();
    }

    void run(Job job) {
        if (threads_.empty()) {
            job();
            return;
        }
        {
            const std::lock_guard lock(mutex_);
            jobs_.push_back(std::move(job));
        }
        job_ready_.notify_one();
    }

private:
    void work() {
        for (;;) {
            Job job;
            {
                std::unique_lock lock(mutex_);
                job_ready_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
                if (stopping_) return;
                job = std::move(jobs_.front());
                jobs_.pop_front();
            }
            job();
        }
    }

    std::mutex mutex_;
    std::condition_variable job_ready_;
    std::deque<Job> jobs_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

// The translations of the pieces, written in the order of the model by the
// thread that finishes the piece due next: it writes that piece and every
// translated piece behind it. So the output leaves in order, written from
// the cache of the thread that made it, and the reading thread never waits
// for a write. The storage of the pieces written goes back to the reader.
class OrderedOutput {
public:
    OrderedOutput(ByteSink& sink, Warnings& warnings, std::size_t capacity)
        : sink_(sink), warnings_(warnings), capacity_(capacity) {}

    // Waits until fewer than `capacity` pieces are unwritten, and returns
    // storage for the next one: that of a piece written, when there is one.
    // Throws what writing a piece met.
    Piece room_for_next() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return error_ || unwritten_.size() < capacity_; });
        if (error_) std::rethrow_exception(error_);
        if (spare_.empty()) return {};
        Piece piece = std::move(spare_.back());
        spare_.pop_back();
        return piece;
    }

    // Takes the translation to come of the piece room_for_next made room for.
    void expect(std::future<Piece> translation) {
        const std::lock_guard lock(mutex_);
        unwritten_.push_back(std::move(translation));
    }

    // Writes the translated pieces at the front, unless a thread is at it.
    void write_translated() {
        std::unique_lock lock(mutex_);
        if (writing_) return;
        writing_ = true;
        while (!error_ && !unwritten_.empty() &&
               unwritten_.front().wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
            std::future<Piece> translation = std::move(unwritten_.front());
            lock.unlock();
            Piece piece;
            std::exception_ptr error;
            try {
                piece = translation.get();
                write(piece);
            } catch (...) {
                error = std::current_exception();
            }
            lock.lock();
            error_ = error;
            spare_.push_back(std::move(piece));
            unwritten_.pop_front();
            changed_.notify_all();
        }
        writing_ = false;
    }

    // Waits until every piece is written. Throws what writing a piece met.
    void wait_until_written() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return error_ || unwritten_.empty(); });
        if (error_) std::rethrow_exception(error_);
    }

    // The model's lines in the pieces written.
    std::size_t lines_written() const { return lines_written_; }

private:
    void write(const Piece& piece) {
        sink_.write(piece.output.text());
        ShiftedWarnings shifted(warnings_, lines_written_);
        for (const Warning& warning : piece.warnings) warning.give(shifted);
        lines_written_ += piece.line_count;
    }

    ByteSink& sink_;
    Warnings& warnings_;
    const std::size_t capacity_;
    std::mutex mutex_;
    std::condition_variable changed_;
    // Under mutex_. The pieces not written yet, in the order of the model:
    // only the thread that set writing_ takes from its front, and it pops a
    // piece only once written. After the first failure, in error_, nothing
    // more is written.
    std::deque<std::future<Piece>> unwritten_;
    bool writing_ = false;
    std::exception_ptr error_;
    std::vector<Piece> spare_;
    std::size_t lines_written_ = 0;  // only for the thread writing
};

}  // namespace

std::optional<PiecePlan> pieces_that_pay(const TranslationSettings& settings,
                                         std::optional<std::uint64_t> model_size) {
    // Starting threads costs more than they save on a model of a few megabytes.
    constexpr std::uint64_t small_model = std::uint64_t{8} << 20;
    // A piece's output is held until it is written: beyond this many
    // processes it could grow too large to hold.
    constexpr int max_processes = 64;
    // Line markers follow the numbering of the whole output, and every tuple
    // of processes has no bound either.
    if (!model_size || *model_size <= small_model || settings.process_count > max_processes ||
        settings.all_instances || settings.line_markers)
        return std::nullopt;
    const unsigned cores = usable_cpus();
    if (cores < 2) return std::nullopt;
    constexpr std::size_t output_per_piece = std::size_t{1} << 20;
    const std::size_t piece =
        std::clamp<std::size_t>(output_per_piece / std::max(settings.process_count, 1),
                                std::size_t{16} << 10, std::size_t{128} << 10);
    return PiecePlan{piece, 4 * piece, std::min(cores, 4u)};
}

void translate_in_pieces(ByteSource& model, ByteSink& sink, Warnings& warnings,
                         const TranslationSettings& settings, const PiecePlan& plan) {
    sink.write(banner(settings.source_name));
    ModuleCutter cutter(model, plan);
    std::size_t lines_written = 0;
    {
        OrderedOutput output(sink, warnings, plan.threads + 1);
        Workers workers(plan.threads);  // after output: its threads end before output goes
        for (Piece piece = output.room_for_next(); cutter.next(piece.input);
             piece = output.room_for_next()) {
            std::promise<Piece> translation;
            output.expect(translation.get_future());
            workers.run(Workers::Job(
                [&, piece = std::move(piece), translation = std::move(translation)]() mutable {
                    try {
                        translation.set_value(translate_piece(std::move(piece), settings));
                    } catch (...) {
                        translation.set_exception(std::current_exception());
                    }
                    output.write_translated();
                }));
        }
        output.wait_until_written();
        lines_written = output.lines_written();
    }
    if (cutter.finished()) return;
    // A module too long to hold whole: the rest line by line, as it is read.
    ChainedSource rest(cutter.rest(), model);
    LineReader input(rest);
    OutputBuffer output(sink);
    ShiftedWarnings shifted(warnings, lines_written);
    Translator(input, output, shifted, settings).translate_lines();
    output.flush();
}

}  // namespace ruvello
