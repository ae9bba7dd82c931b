// Cutting a model into pieces before its MODULE headers, and translating the
// pieces on threads: the result must be the translation line by line.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "module_pieces.h"
#include "parallel.h"

namespace {

using End = ruvello::ModulePieces::End;

// The pieces of `model` when each may be as short as `piece_size` bytes,
// read one byte at a time and whole.
std::vector<std::string> cut(const std::string& model, std::size_t piece_size) {
    std::vector<std::string> pieces;
    for (std::size_t chunk : {std::size_t{1}, SIZE_MAX}) {
        ruvello::StringSource source(model, chunk);
        ruvello::ModulePieces cutter(source, piece_size, SIZE_MAX);
        std::vector<std::string> these;
        for (End end = End::module_header; end == End::module_header;) {
            std::string piece;
            end = cutter.next(piece);
            these.push_back(piece);
        }
        if (chunk != 1) {
            EXPECT_EQ(these, pieces) << "read sizes change the pieces of " << model;
        }
        pieces = these;
    }
    return pieces;
}

TEST(ModulePieces, BeginAtModuleHeadersOnly) {
    using Pieces = std::vector<std::string>;
    const struct {
        std::string model;
        Pieces pieces;
    } cases[] = {
        {"", {""}},
        {"a\nb\n", {"a\nb\n"}},
        {"a\nMODULE m\nb\nMODULE n\n", {"a\n", "MODULE m\nb\n", "MODULE n\n"}},
        // A last line without a newline is never cut off.
        {"MODULE m\nMODULE\nMODULE n", {"MODULE m\n", "MODULE\nMODULE n"}},
        // Not headers: indented, inside a line, followed by a tab, a carriage
        // return or more letters.
        {"MODULE m\n MODULE n\nx MODULE n\nMODULE\tn\nMODULE\r\nMODULES\n",
         {"MODULE m\n MODULE n\nx MODULE n\nMODULE\tn\nMODULE\r\nMODULES\n"}},
        // A parameter list left open goes on up to the line with a ')'.
        {"MODULE m(a,\nMODULE b,\nMODULE c)\nMODULE n\n",
         {"MODULE m(a,\nMODULE b,\nMODULE c)\n", "MODULE n\n"}},
        {"MODULE m(a)\nMODULE n(b,\nc) MODULE\nMODULE o\n",
         {"MODULE m(a)\n", "MODULE n(b,\nc) MODULE\n", "MODULE o\n"}},
        {"MODULE m(a,\nMODULE n\n", {"MODULE m(a,\nMODULE n\n"}},
    };
    for (const auto& c : cases) EXPECT_EQ(cut(c.model, 1), c.pieces) << c.model;
}

TEST(ModulePieces, HoldAtLeastThePieceSize) {
    const std::string model = "MODULE a\nMODULE b\nx\nMODULE c\nMODULE d\n";
    EXPECT_EQ(cut(model, 12), (std::vector<std::string>{"MODULE a\nMODULE b\nx\n",
                                                          "MODULE c\nMODULE d\n"}));
    EXPECT_EQ(cut(model, 100), std::vector<std::string>{model});
}

// A piece that goes on past the limit is handed out in part, and the rest is
// read up to the next header.
TEST(ModulePieces, HandOutALongPieceInPartAndThenAsAStream) {
    const std::string long_module = "MODULE a\n" + std::string(100, 'x') + "\ny\n";
    const std::string model = long_module + "MODULE b\n";
    ruvello::StringSource source(model, 7);
    ruvello::ModulePieces cutter(source, 1, 50);
    std::string piece;
    ASSERT_EQ(cutter.next(piece), End::limit);
    EXPECT_TRUE(long_module.starts_with(piece));
    std::string rest(200, '\0');
    std::size_t read = 0;
    for (std::size_t n; (n = cutter.read(rest.data() + read, 3)) > 0;) read += n;
    EXPECT_EQ(piece + rest.substr(0, read), long_module);
    EXPECT_EQ(cutter.next(piece), End::input);
    EXPECT_EQ(piece, "MODULE b\n");
}

struct Translation {
    std::string output;
    std::string warnings;
    bool operator==(const Translation&) const = default;
};

Translation line_by_line(const std::string& model, int n) {
    std::ostringstream warnings;
    std::string output = ruvello::translate_text(model, {n, "m.in"}, warnings);
    return {std::move(output), warnings.str()};
}

Translation in_pieces(const std::string& model, int n, const ruvello::PieceSizes& sizes) {
    ruvello::StringSource source(model, 5);
    ruvello::StringSink sink;
    std::ostringstream warnings;
    ruvello::translate_in_pieces(source, sink, warnings, {n, "m.in"}, sizes);
    return {sink.text(), warnings.str()};
}

// Many modules of every kind of statement, with warnings, a module too long
// to hold, and a parameter list that spans headers.
std::string mixed_model() {
    std::string model = "-- many modules\n";
    for (int i = 0; i < 60; ++i) {
        model += "MODULE m" + std::to_string(i) + "(a,\nMODULE b)\nVAR\n  -- each\n";
        model += "  s[Proc] : {idle,\n    busy};\n  t : Proc;\n  p[Proc] : transition q;\n";
        model += "ASSIGN\n  next(s[Proc]) := busy;\nSPEC\n  FORALL (i) s[i] = idle\n";
        model += "  FORALL (i, j, k) s[i]\n  FORALL (i, j) AG (i != j -> s[i] = s[j])\n";
        if (i % 20 == 7) model += "VAR\n" + std::string(3000, 'x') + "[Proc] : b;\n";
    }
    return model + "MODULE last\nVAR\n  x[Proc] : b;";
}

TEST(TranslationInPieces, IsTheTranslationLineByLine) {
    const std::string model = mixed_model();
    for (int n : {0, 2, 64, 65}) {
        const Translation expected = line_by_line(model, n);
        ASSERT_NE(expected.warnings, "");
        for (const ruvello::PieceSizes sizes :
             {ruvello::PieceSizes{1, 2000, 2}, {300, 1000, 2}, {1, 1, 2}, {1, 2000, 0},
              ruvello::piece_sizes_for(n)}) {
            EXPECT_EQ(in_pieces(model, n, sizes), expected)
                << "N = " << n << ", pieces of " << sizes.piece << " to " << sizes.limit
                << " bytes on " << sizes.threads << " threads";
        }
    }
}

// Takes `room` bytes, then fails like a full disk.
class FullSink : public ruvello::ByteSink {
public:
    explicit FullSink(std::size_t room) : room_(room) {}
    void write(std::string_view bytes) override {
        if (bytes.size() > room_) throw ruvello::WriteError("full");
        room_ -= bytes.size();
    }

private:
    std::size_t room_;
};

TEST(TranslationInPieces, ReportsAWriteThatFailsOnAThread) {
    const std::string model = mixed_model();
    for (std::size_t room : {0, 1000, 20000}) {
        ruvello::StringSource source(model);
        FullSink sink(room);
        std::ostringstream warnings;
        EXPECT_THROW(ruvello::translate_in_pieces(source, sink, warnings, {2, "m.in"},
                                                  {300, 1000, 2}),
                     ruvello::WriteError)
            << "after " << room << " bytes";
    }
}

}  // namespace
