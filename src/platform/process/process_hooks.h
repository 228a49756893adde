#pragma once

// What the game's process needs set before anything else, with no SDL in
// it: every signal handler and fork hook of the Linux backend is installed
// here and nowhere else.

// Keeps the standard descriptors open, becomes the mode guardian when this
// process was started as one (and never returns then), ignores SIGPIPE,
// turns SIGINT, SIGTERM, SIGHUP and SIGQUIT into a close request, reaps a
// lost guardian on SIGCHLD, and watches forks for the message box's
// processes and the guardian's pipes. First thing at the start, while the
// program has one thread; a second call changes nothing.
void Process_Start();
// A close signal came since the last call: takes it, once for several.
bool Process_TakeCloseRequest();
// A close signal came and is not taken yet.
bool Process_CloseRequested();
