// How a long computation on a worker thread reports its progress and hears
// a request to stop: the window's design study runs this way, and the
// command line passes none.
#ifndef RFSPLITTER_ENGINE_RUN_CONTROL_H_
#define RFSPLITTER_ENGINE_RUN_CONTROL_H_

#include <functional>
#include <stop_token>
#include <string_view>

namespace rfsplitter {

struct RunControl {
  // Checked between small batches of work (well under 50 ms apart).
  std::stop_token stop;
  // The stage and the fraction of it done, 0 to 1; called from the thread
  // that runs the computation.
  std::function<void(std::string_view stage, double fraction)> progress;
  // The computation's threads yield to others (a window's thread that must
  // answer every keystroke) where the system lets them.
  bool background = false;
  // The share of their usual work the searching fits do: a window's quick
  // first answer takes a tenth, then the whole search follows.
  double effort = 1;

  bool StopRequested() const { return stop.stop_requested(); }
  void Report(std::string_view stage, double fraction) const {
    if (progress) progress(stage, fraction);
  }
  // Called by each thread of the computation as it starts.
  void EnterThread() const;
};

}  // namespace rfsplitter

#endif  // RFSPLITTER_ENGINE_RUN_CONTROL_H_
