// Long work done on the thread of the windows (reading every service of a large machine, planning an
// application of thousands of records) lets the windows repaint now and then, rather than leave them
// white and "not responding". The program names once what repainting is; the work calls
// StayResponsive() between its items, which does it at most every few tens of milliseconds and only on
// the thread that named it.
#pragma once

namespace kestrane {

void SetResponsiveHook(void (*repaint)());
void StayResponsive();

}  // namespace kestrane
