// Runs one job on a thread of its own. The window keeps painting but takes
// no input meanwhile; a job that takes a while shows its progress in a box
// over the window, whose Cancel stops it.
#pragma once

#include "dialog/window_system.h"

class QWidget;

namespace talvek {

// Returns the job's result once it has ended; `owner` is the window the
// progress box belongs to.
bool runJobInBackground(QWidget* owner, const JobView& job, const JobWork& work);

}  // namespace talvek
