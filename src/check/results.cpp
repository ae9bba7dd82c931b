#include "check/results.h"

namespace ruvello::check {

std::string_view text_of(Outcome outcome) {
    switch (outcome) {
    case Outcome::done: return "done";
    case Outcome::timeout: return "timeout";
    case Outcome::error: return "error";
    case Outcome::interrupted: return "interrupted";
    case Outcome::skipped: return "skipped";
    }
    return "error";
}

std::string_view text_of(Verdict verdict) {
    switch (verdict) {
    case Verdict::holds: return "true";
    case Verdict::fails: return "false";
    case Verdict::timeout: return "timeout";
    case Verdict::error: return "error";
    case Verdict::warned: return "warned";
    case Verdict::interrupted: return "interrupted";
    case Verdict::skipped: return "skipped";
    }
    return "error";
}

std::string_view text_of(Decision decision) {
    switch (decision) {
    case Decision::holds: return "true";
    case Decision::fails: return "false";
    case Decision::undecided: return "undecided";
    }
    return "undecided";
}

Verdict verdict_missing_in(Outcome outcome) {
    switch (outcome) {
    case Outcome::done: return Verdict::error;
    case Outcome::timeout: return Verdict::timeout;
    case Outcome::error: return Verdict::error;
    case Outcome::interrupted: return Verdict::interrupted;
    case Outcome::skipped: return Verdict::skipped;
    }
    return Verdict::error;
}

}  // namespace ruvello::check
