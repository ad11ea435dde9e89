// The bench's computing: the nominal study of every change on the window's
// thread, and the yield (with a searched fit's parts) on a worker thread,
// cancelled and started again when anything changes.
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QTimer>

#include "study/report.h"
#include "ui/bench_bands_panel.h"
#include "ui/bench_fields.h"
#include "ui/bench_form_panel.h"
#include "ui/bench_parts_panel.h"
#include "ui/bench_plots_panel.h"
#include "ui/bench_window.h"
#include "ui/bench_yield_panel.h"
#include "ui/localized.h"
#include "ui/measured_panel.h"

namespace rfsplitter {

// One yield run on a worker thread: its stop switch and whether it is still
// the one the bench waits for.
struct BenchWindow::Job {
  std::stop_source stop;
  std::atomic<double> fraction = 0;
  std::atomic<bool> finished = false;  // the worker has handed its result over
};

namespace {

// The share of a searched fit's work its first answer takes: within half a
// second for the wide hybrid's yield fit.
constexpr double kQuickEffort = 0.1;

}  // namespace

void BenchWindow::JoinFinished(std::list<Worker>& workers) {
  workers.remove_if([](Worker& w) {
    if (!w.job->finished) return false;
    w.thread.join();
    return true;
  });
}

void BenchWindow::StopYield() {
  // The workers stop within a batch of boards; the list joins them.
  for (Worker& w : workers_) w.job->stop.request_stop();
}

void BenchWindow::Recompute() {
  if (applying_session_) return;  // once, when the whole session is in
  if (!isVisible()) {
    recompute_when_shown_ = true;
    return;
  }
  QStringList problems;
  StudyRequest request = Request(problems);
  const std::optional<MonteCarloSettings> yield = yield_panel_->Settings(problems);
  title_->setText(Localized(DesignTitle(CurrentForm(), inputs_)));
  form_->Say(own_form_ ? tr("The bench holds its own form at the main window's (or the pick's) "
                            "frequency.")
                       : tr("The bench follows the main window's circuit."));
  // The searching fits take their time: best shows at once, and the
  // worker's circuit replaces it when the search is done.
  const bool searched =
      request.Built() && request.parts.AnyParts() &&
      (request.parts.method == FitMethod::kMargin || request.parts.method == FitMethod::kYield);
  StudyRequest preview = request;
  if (searched) {
    preview.parts.method = FitMethod::kBest;
    preview.parts.pairs = preview.parts.tie_equal_values = false;
    // A step under a searched fit: the other parts stay where the search
    // put them until it has searched again (a pair, which best cannot
    // show, is best's meanwhile).
    const bool shown_searched = nominal_ && (nominal_->request.parts.method == FitMethod::kMargin ||
                                             nominal_->request.parts.method == FitMethod::kYield);
    if (stepping_ && shown_searched) {
      for (const PartRow& p : nominal_->parts) {
        if (!p.pair && !part_values_.contains(p.name)) {
          preview.part_values.emplace_back(p.name, p.chosen);
        }
      }
    }
  }
  StudyOutcome outcome = RunStudy(preview);
  if (outcome.status == StudyOutcome::Status::kRefused && preview.measured) {
    // A measurement that does not fit the design is said; the design stays.
    problems << FromStd(outcome.error);
    preview.measured.reset();
    request.measured.reset();
    outcome = RunStudy(preview);
  }
  if (outcome.status == StudyOutcome::Status::kDone) {
    nominal_ = *outcome.result;
  } else {
    problems << FromStd(outcome.error);
  }
  searching_ = searched && outcome.status == StudyOutcome::Status::kDone;
  QStringList notes;
  for (const QString& note :
       {input_note_, form_note_, session_note_, problems.join(QStringLiteral("\n"))}) {
    if (!note.isEmpty()) notes << note;
  }
  note_->setText(notes.join(QStringLiteral("\n")));
  note_->setVisible(!notes.isEmpty());
  if (request.parts.method == FitMethod::kYield && !yield) searching_ = false;
  const bool run_yield = (yield || searching_) && nominal_;
  // Without a yield to come, the last one's spread goes from the plots now.
  if (!run_yield) yield_.reset();
  ShowNominal();
  if (run_yield) {
    request.monte_carlo = yield;
    StartYield(request);
  } else {
    if (current_) current_->stop.request_stop();
    current_.reset();
    // The stopped run's progress goes with it.
    progress_delay_->stop();
    plots_->Progress()->hide();
    plots_->SetYieldText(yield_panel_->Boards() == 0 ? tr("No boards: the yield is off.")
                                                     : tr("No yield: see the note above."));
    yield_panel_->ShowPercentiles(nullptr);
    yield_panel_->ShowAdvice(nominal_ ? &*nominal_ : nullptr, nullptr);
  }
  if (!restoring_) history_delay_->start();
  emit NominalShown();
}

void BenchWindow::ShowNominal() {
  if (!nominal_) return;
  parts_->Show(*nominal_, part_values_);
  bands_->Show(*nominal_);
  plots_->Show(&*nominal_, yield_ ? &*yield_ : nullptr, DesignTitle(CurrentForm(), inputs_));
  measured_->Show(&*nominal_);
}

void BenchWindow::StartYield(const StudyRequest& nominal_request) {
  if (current_) {
    current_->stop.request_stop();
    ++cancelled_;
  }
  JoinFinished(workers_);
  auto job = std::make_shared<Job>();
  current_ = job;
  StudyRequest request = nominal_request;
  // A searched fit's circuit replaces the preview: with its response, and
  // with the measurement set beside it again.
  request.summaries = searching_;
  if (!searching_) request.measured.reset();
  request.spread = request.monte_carlo.has_value();
  ++running_;
  plots_->Progress()->setValue(0);
  progress_delay_->start();
  if (searching_) {
    plots_->SetYieldText(tr("Searching for the parts (fit %1)...")
                             .arg(FromStd(std::string(FitName(request.parts.method)))));
  } else if (!yield_) {
    plots_->SetYieldText(tr("Counting the yield..."));
  }
  // A searched fit answers twice: a tenth of the search at once, then the
  // whole search, whose parts and yield are the command line's.
  const bool quick_first = searching_;
  workers_.push_back({job, std::jthread([this, job, request, quick_first] {
                        double from = 0, share = 1;  // the phase's part of the bar
                        RunControl control{
                            job->stop.get_token(), [&, this, job](std::string_view, double part) {
                              const double fraction = from + share * part;
                              // At most a hundred updates a run reach the window.
                              if (fraction - job->fraction < 0.01 && fraction < 1) return;
                              job->fraction = fraction;
                              QMetaObject::invokeMethod(
                                  this,
                                  [this, job, fraction] {
                                    if (job == current_) {
                                      plots_->Progress()->setValue(int(100 * fraction));
                                    }
                                  },
                                  Qt::QueuedConnection);
                            }};
                        // The boards give way to the window's thread, so that
                        // typing never waits for them.
                        control.background = true;
                        control.EnterThread();
                        const auto hand_over = [this, job](StudyOutcome outcome, bool last) {
                          QMetaObject::invokeMethod(
                              this,
                              [this, job, outcome = std::move(outcome), last]() mutable {
                                ShowYield(job, std::move(outcome), last);
                              },
                              Qt::QueuedConnection);
                        };
                        if (quick_first) {
                          control.effort = kQuickEffort;
                          share = 0.1;
                          StudyOutcome first = RunStudy(request, &control);
                          const bool done = first.status == StudyOutcome::Status::kDone;
                          hand_over(std::move(first), !done);
                          if (!done) {
                            job->finished = true;
                            return;
                          }
                          control.effort = 1;
                          from = 0.1, share = 0.9;
                        }
                        hand_over(RunStudy(request, &control), true);
                        job->finished = true;
                      })});
}

void BenchWindow::ShowYield(std::shared_ptr<Job> job, StudyOutcome outcome, bool last) {
  if (last) --running_;
  JoinFinished(workers_);
  if (job != current_) return;  // an older run, overtaken by a change
  if (last) {
    progress_delay_->stop();
    plots_->Progress()->hide();
  }
  const bool done = outcome.status == StudyOutcome::Status::kDone;
  // The searched circuit in place of the preview.
  const bool replaced = done && searching_;
  if (replaced) {
    searching_ = !last;
    nominal_ = *outcome.result;
  }
  // The plots and tables once, with the yield as it now stands.
  const auto show = [&] {
    if (replaced) {
      ShowNominal();
    } else {
      plots_->Show(nominal_ ? &*nominal_ : nullptr, yield_ ? &*yield_ : nullptr,
                   DesignTitle(CurrentForm(), inputs_));
    }
  };
  if (!done || !outcome.result->monte_carlo) {
    if (outcome.status == StudyOutcome::Status::kStopped) return;
    yield_.reset();
    show();
    plots_->SetYieldText(done ? tr("No boards: the yield is off.")
                              : tr("No yield: %1").arg(FromStd(outcome.error)));
    yield_panel_->ShowPercentiles(nullptr);
    yield_panel_->ShowAdvice(nominal_ ? &*nominal_ : nullptr, nullptr);
    return;
  }
  yield_ = *outcome.result->monte_carlo;
  if (nominal_) {
    nominal_->request.monte_carlo = outcome.result->request.monte_carlo;
    nominal_->monte_carlo_settings = outcome.result->monte_carlo_settings;
    nominal_->grades = outcome.result->grades;
  }
  QString tip;
  QString text = YieldText(*outcome.result, tip);
  if (!last) text += QStringLiteral("\n") + tr("A first search's parts: the whole search goes on.");
  plots_->SetYieldText(text, tip);
  yield_panel_->ShowPercentiles(&*yield_);
  yield_panel_->ShowAdvice(nominal_ ? &*nominal_ : nullptr, &*yield_);
  show();
  if (last) {
    emit YieldShown();
  } else {
    emit FirstYieldShown();
  }
}

QString BenchWindow::YieldText(const StudyResult& result, QString& tip) const {
  const MonteCarloResult& r = *result.monte_carlo;
  const QLocale locale;
  QString text =
      tr("Yield %1 % (%2 of %3 boards; 95 % interval %4 to %5 %)")
          .arg(locale.toString(r.yield_percent, 'f', 2))
          .arg(r.passed)
          .arg(r.samples)
          .arg(locale.toString(r.ci95_low, 'f', 2), locale.toString(r.ci95_high, 'f', 2));
  // What a board must hold to count.
  const StudyRequest& asked = result.request;
  const double band = asked.monte_carlo ? asked.monte_carlo->band_percent : 0;
  text +=
      tr(", passing at |S11| <= %1 dB, isolation <= %2 dB, imbalance <= %3 dB, phase within "
         "%4 deg%5")
          .arg(locale.toString(asked.limits.match_db), locale.toString(asked.limits.isolation_db),
               locale.toString(asked.limits.imbalance_db), locale.toString(asked.limits.phase_deg),
               band > 0 ? tr(" across %1 % about f0").arg(locale.toString(band)) : tr(" at f0"));
  if (r.yield_percent_pairs_alike) {
    text += QStringLiteral("\n") + tr("%1 % with each pair's parts drawn alike")
                                       .arg(locale.toString(*r.yield_percent_pairs_alike, 'f', 2));
    tip =
        tr("A pair's two parts from one reel stray alike; from two reels, each on its own. The "
           "first yield draws them each on its own, the second alike: the truth lies between.");
  }
  if (const std::optional<GradeChoice>& g = result.grades) {
    const QString grades = Localized(TolerancesText(*result.monte_carlo_settings));
    text += QStringLiteral("\n") +
            (g->reached ? tr("Grades for %1 %: %2").arg(locale.toString(g->target_percent), grades)
                        : tr("No grades give %1 %; the best, %2")
                              .arg(locale.toString(g->target_percent), grades));
  }
  return text;
}

}  // namespace rfsplitter
