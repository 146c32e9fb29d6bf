// Long work done on the thread of the windows (reading every service of a large machine, planning an
// application of thousands of records) lets the windows repaint now and then, rather than leave them
// white and "not responding". The program names once what repainting is; the work calls
// StayResponsive() between its items, which does it at most every few tens of milliseconds and only on
// the thread that named it.
#pragma once

namespace kestrane {

void SetResponsiveHook(void (*repaint)());
void StayResponsive();
// Waits `milliseconds`; on the thread that named the hook, in short steps between which the windows
// repaint, so that a wait for a service never leaves them white.
void PauseResponsive(unsigned long milliseconds);

}  // namespace kestrane
