// Windows' console control events (Ctrl+C, Ctrl+Break, the console closed,
// logoff, shutdown) as the platform's stop signals. One handler for the
// process, shared by StopSignals and SignalsHeld: while neither wants the
// events, it lets the system's default end the process.
#pragma once

namespace talvek::console {

// The signal numbers the events count as: Ctrl+C is SIGINT, Ctrl+Break
// SIGBREAK, and a closed console, logoff or shutdown SIGTERM.
int signalOfEvent(unsigned long event);

// While StopSignals lives: events are caught, not fatal.
void startCatching();
void stopCatching();
// The first event caught since startCatching(), as a signal number, or 0.
int caught();

// What the handler does with an event the system delivers: true when it
// took it, false when the system's default is to end the process. Tests
// deliver events through it, as wine without a console has none to send.
bool handleEvent(unsigned long event);

// While a SignalsHeld lives: events wait until the last one goes, and then
// end the process as they would have (unless StopSignals catches them).
void hold();
void release();

}  // namespace talvek::console
