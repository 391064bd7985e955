// Placing evaluations in their sources: the notes that follow a report on
// standard error, the explanation a thrown error carries, and the warnings
// about what a text leaves unbalanced or a keyword nothing answers.
#include <bit>
#include <algorithm>
#include <string>
#include <vector>

#include "interp/call.h"
#include "interp/line_continuation.h"

namespace {

// An expression's text for a note, shortened when long.
std::string shortText(const std::string& text) {
  constexpr size_t kMostShown = 60;
  if (text.size() <= kMostShown) return text;
  size_t cut = kMostShown - 3;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;  // whole UTF-8 characters
  return text.substr(0, cut) + "…";
}

// The root marker of the text [frame] belongs to, and [frame]'s offset in it.
const EvalFrame& rootOf(const EvalFrame& frame, size_t& offset) {
  offset = 0;
  const EvalFrame* f = &frame;
  while (f->expr && f->parent && f->parent->expr) {
    if (f->token != EvalFrame::kWholeText) offset += f->parent->expr->tokens().tokenStart(f->token);
    f = f->parent;
  }
  return f->expr && f->parent ? *f->parent : *f;
}

// The lines naming the evaluations that ran the scripts [frame] is in
// ("  called from main.dvx:3:2").
std::string callers(const Interpreter& interp, const EvalFrame& frame) {
  std::string lines;
  size_t offset = 0;
  for (const EvalFrame* root = &rootOf(frame, offset); root->parent; root = &rootOf(*root->parent, offset)) {
    lines += "  called from " + interp.placeOf(*root->parent) + "\n";
  }
  return lines;
}

// Levenshtein distance between [a] and [b], stopping early past [limit].
size_t editDistance(const std::string& a, const std::string& b, size_t limit) {
  if (a.size() > b.size() + limit || b.size() > a.size() + limit) return limit + 1;
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// Where the first ")" of [text] closes nothing (counted as the tokenizer
// counts), or npos.
size_t strayClose(const std::string& text) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '"') {
      i = text.find('"', i + 1);
      if (i == std::string::npos) return std::string::npos;
    } else if (text[i] == '(') {
      size_t depth = 0;
      for (++i; i < text.size(); ++i) {
        if (text[i] == '(') {
          ++depth;
        } else if (text[i] == ')') {
          if (depth == 0) break;
          --depth;
        }
      }
    } else if (text[i] == ')') {
      return i;
    }
  }
  return std::string::npos;
}

}  // namespace

void Call::warnUnknownVariable(std::string_view name, std::string_view consequence) const {
  WarningLine warning = warn();
  warning << "no variable '" << name << "' is visible here, so " << consequence;
  // The usual cause: a name made inside `file` or `begin` without `global`
  // ended with it, or a local one looked for inside `global`.
  if (target == ScopeTarget::Globals) warning << " (inside global only global variables are seen)";
}

void Call::noteUnassigned(std::string_view name, const Scope::Assignment& found, ValueType type, bool hasValue,
                          std::string_view what) const {
  const auto article = [](ValueType t) { return t == ValueType::Integer ? "an " : "a "; };
  if (found.entries == 0) {
    warnUnknownVariable(name, std::string(what) + " is not stored");
  } else if (!hasValue) {
    warn() << what << " is nothing (no value), so '" << name << "' is left as it was";
  } else if (found.newestType != type) {
    warn() << "'" << name << "' is " << article(found.newestType) << typeNameOf(found.newestType) << " and " << what
           << " " << article(type) << typeNameOf(type) << ", so '" << name << "' is left as it was";
  }
}

std::string Interpreter::placeOf(const EvalFrame& frame) const {
  size_t offset = 0;
  const EvalFrame& root = rootOf(frame, offset);
  return root.source ? root.source->place(offset) : std::string("column 1");
}

const char* Interpreter::runningKeyword() const {
  const KeywordRow* keyword = top_ && top_->expr ? top_->expr->keyword() : nullptr;
  return keyword ? keyword->name : nullptr;
}

std::string Interpreter::placeNote(const std::string& what, bool withExpression) const {
  if (!top_) return std::string();
  std::string note = placeOf(*top_) + ": " + what;
  if (withExpression && top_->expr) note += shortText(top_->expr->text());
  return note + "\n" + callers(*this, *top_);
}

void Interpreter::describeError(ScriptError& error, const EvalFrame& frame) const {
  std::string note = placeOf(frame) + ": in " + shortText(frame.expr->text()) + "\n";
  if (error.isMismatch()) {
    const ScriptError::Mismatch& m = error.mismatch();
    const KeywordRow* keyword = frame.expr->keyword();
    const std::string name = keyword ? keyword->name : frame.expr->tokens().token(0);
    // The argument that holds the refused value: the one read last when it
    // does (a keyword that reads as it goes), else the first (a keyword that
    // reads all first). Equal literals share their value, so either may be
    // the one meant; they hold the same.
    // A literal argument's value is the one kept in its parse.
    const auto holds = [&](size_t i) {
      if (i >= EvalFrame::kTrackedArguments) return false;
      if ((frame.argsSeen >> i & 1u) != 0 && frame.argPayload[i] == m.payload) return true;
      const ParsedExpr* argument = frame.expr->linkedArgument(i);
      return argument && argument->isLiteral() && argument->literalValue().payload.get() == m.payload;
    };
    const size_t last = frame.argsSeen != 0 ? static_cast<size_t>(std::bit_width(frame.argsSeen)) - 1 : 0;
    size_t argument = frame.argsSeen != 0 && holds(last) ? last : 0;
    for (size_t i = 1; i < EvalFrame::kTrackedArguments && argument == 0; ++i) {
      if (holds(i)) argument = i;
    }
    note += "  " + (argument ? "argument " + std::to_string(argument) + " of " + name : "a value " + name + " read") +
            " is " + m.held + "; " + m.expected + " is expected";
    if (m.expected == "a double" && m.held.rfind("the integer ", 0) == 0) {
      note += " (write " + m.held.substr(12) + ".0)";
    } else if (m.held.rfind("nothing", 0) == 0) {
      note += " (a variable that does not exist reads as nothing)";
    }
    note += "\n";
  }
  error.setNote(note + callers(*this, frame));
  // The statement of the script (or line) the error stops: the frame just
  // below the text's own expression.
  const EvalFrame* statement = &frame;
  while (statement->parent && statement->parent->expr && statement->parent->parent &&
         statement->parent->parent->expr) {
    statement = statement->parent;
  }
  size_t offset = 0;
  const EvalFrame& root = rootOf(frame, offset);
  if (root.source && !root.source->name.empty() && statement->parent && statement->parent->expr) {
    error.setStopped(placeOf(*statement) + ": the error stopped the script at " + shortText(statement->expr->text()) +
                     "\n");
  }
}

void Interpreter::warnUnbalanced(const std::string& text, const SourceText& source) const {
  const BracketBalance balance = bracketBalance(text);
  if (balance.open > 0) {
    WarningLine(true, source.place(balance.firstUnclosed))
        << "this ( is never closed" << (balance.open > 1 ? " (nor " + std::to_string(balance.open - 1) + " inside it)" : "")
        << ": the rest of the text is inside it";
  }
  const size_t stray = strayClose(text);
  if (stray != std::string::npos) WarningLine(true, source.place(stray)) << "this ) closes nothing";
}

void Interpreter::unknownKeyword(const Call& call) const {
  WarningLine warning = call.warn();
  if (!warning.active()) return;
  const std::string& word = call.token(0);
  warning << "no keyword or extension command is called '" << word << "'";
  Object found;
  if (call.localScope.findVariable(word, found)) {
    warning << "; to read the variable, write (get " << word << ")";
    return;
  }
  std::vector<std::string> words = keywords_.spellings();
  for (const KeywordRow* row : extensions_) words.emplace_back(row->name);
  std::string best;
  size_t bestDistance = std::max<size_t>(1, std::min<size_t>(3, word.size() / 3));
  for (const std::string& candidate : words) {
    const size_t d = editDistance(word, candidate, bestDistance);
    if (d < bestDistance || (d == bestDistance && best.empty())) {
      best = candidate;
      bestDistance = d;
    }
  }
  if (!best.empty()) warning << "; did you mean `" << best << "`?";
}
