// The user's request to stop the running line (Ctrl-C). It lives in the
// lowest layer so that the numeric library can poll it between blocks of
// work without knowing the interpreter; the interpreter turns it into the
// thrown "Error: User break.".
#pragma once

// Marks a break as pending. Safe to call from a signal handler.
void requestBreak() noexcept;
// Whether a break is pending. Cheap enough to poll between blocks of work.
bool breakRequested() noexcept;
// Forgets a pending break (a fresh prompt).
void clearBreak() noexcept;
// Throws ScriptError("Error: User break.") when a break is pending.
void throwIfBreak();
