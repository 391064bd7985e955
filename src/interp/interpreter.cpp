#include "interp/interpreter.h"

#include <pthread.h>

#include <exception>
#include <stdexcept>

#include "interp/builtin.h"
#include "interp/tokenizer.h"
#include "value/error.h"
#include "value/number_text.h"

namespace {

// A single-token text is a literal: never a variable, never a keyword.
void evaluateLiteral(const std::string& t, Object& result) {
  if (t.empty()) {
    result.setString("");
    return;
  }
  const char first = t[0];
  const bool numeric = (first >= '0' && first <= '9') || ((first == '-' || first == '.') && t.size() >= 2);
  if (!numeric) {
    result.setString(t);
    return;
  }
  size_t dots = 0;
  for (char c : t) {
    if (c == '.' && ++dots == 2) {
      result.setString(t);
      return;
    }
  }
  if (dots == 0) {
    result.setInteger(textToInteger(t));
  } else {
    result.setDouble(textToDouble(t));
  }
}

// Counts one level of nesting and the text it holds for as long as the
// evaluation runs; refuses a level beyond either limit.
class DepthGuard {
 public:
  DepthGuard(int& depth, size_t& liveText, size_t textBytes) : depth_(depth), liveText_(liveText), bytes_(textBytes) {
    if (depth_ >= kMaxNestingDepth || liveText_ + bytes_ > kMaxLiveTextBytes) {
      throw ScriptError("nesting too deep");
    }
    ++depth_;
    liveText_ += bytes_;
  }
  ~DepthGuard() {
    --depth_;
    liveText_ -= bytes_;
  }
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;

 private:
  int& depth_;
  size_t& liveText_;
  size_t bytes_;
};

}  // namespace

Interpreter::~Interpreter() {
  extensions.clear();
  globals.clear();
}

void Interpreter::evaluate(const std::string& text, Scope& callerScope, Object& result, bool toGlobal, bool ownScope) {
  DepthGuard guard(depth_, liveTextBytes_, text.size());
  if (stepLimit != 0 && ++steps_ > stepLimit) throw ScriptError("step limit reached");
  TokenList tokens = TokenList::forExpressions();
  tokens.setText(text);
  if (tokens.tokenCount() == 1) {
    evaluateLiteral(tokens.token(0), result);
    return;
  }
  Scope localScope(callerScope, 0);
  Scope& targetScope = toGlobal ? globals : (ownScope ? localScope : callerScope);
  Call call{*this, tokens, text, callerScope, localScope, targetScope, result, toGlobal, ownScope};
  const std::string& keyword = tokens.token(0);
  if (BuiltinFn fn = findBuiltin(keyword)) {
    fn(call);
    return;
  }
  for (const auto& extension : extensions) {
    if (extension && extension->commandName() == keyword) {
      extension->execute(tokens, localScope, result, toGlobal, ownScope, *this);
      return;
    }
  }
  call.syntaxError("");
}

Object Call::arg(size_t i) const {
  Object value;
  interp.evaluate(token(i), localScope, value, toGlobal, true);
  return value;
}

void Call::evalArg(size_t i, Object& into) const { interp.evaluate(token(i), localScope, into, toGlobal, true); }

void Call::evalStatement(size_t i, Object& into) const {
  interp.evaluate(token(i), localScope, into, toGlobal, false);
}

void Call::syntaxError(std::string_view reason) const {
  report() << "Syntax error '" << text << "'" << reason << "\n";
}

namespace {

struct ThreadJob {
  const std::function<void()>* body;
  std::exception_ptr error;
};

void* runJob(void* raw) {
  auto* job = static_cast<ThreadJob*>(raw);
  try {
    (*job->body)();
  } catch (...) {
    job->error = std::current_exception();
  }
  return nullptr;
}

}  // namespace

void runWithLargeStack(const std::function<void()>& body) {
  constexpr size_t kStackBytes = size_t{1} << 30;  // reserved, touched only as deep as used
  ThreadJob job{&body, nullptr};
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, kStackBytes);
  pthread_t thread;
  const int rc = pthread_create(&thread, &attr, runJob, &job);
  pthread_attr_destroy(&attr);
  if (rc != 0) {
    body();  // no thread to be had: run on this stack
    return;
  }
  pthread_join(thread, nullptr);
  if (job.error) std::rethrow_exception(job.error);
}
