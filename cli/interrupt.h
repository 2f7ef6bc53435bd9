#pragma once
// SIGINT and SIGTERM during a run: the command notices at its next tick,
// stops the analyser and keeps what was counted instead of dying with it.
namespace tolvane::cli {

// Installs the handlers; until then the signals end the process as usual.
void catchInterrupts();
// The signal that arrived (SIGINT, SIGTERM), or 0.
int interruptSignal();
// "SIGINT" / "SIGTERM".
const char* interruptName(int signal);

}  // namespace tolvane::cli
