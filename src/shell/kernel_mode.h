// dovex --kernel: the session behind a notebook kernel. Requests arrive
// framed on standard input; everything the session prints (standard output
// and standard error) goes back framed on a channel of its own, beside the
// file notices and the replies to completion and inspection, so that
// nothing a script prints can pass for the framing. jupyter/PROTOCOL.md
// describes the frames.
#pragma once

// Serves requests until "exit" or "!exit" ends the session or standard
// input ends. Returns the exit status.
int runKernelMode();
