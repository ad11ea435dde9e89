#include <algorithm>
#include <numbers>

#include "parts/search_fit.h"

namespace rfsplitter::fitting {

std::vector<SearchFit::Candidate> SearchFit::ScreenedStarts(const Candidate& base) const {
  if (choice_.tie_equal_values) return {};
  std::vector<size_t> inductors;
  for (size_t i = 0; i < slots_.size(); ++i) {
    if (slots_[i].kind == ElementKind::kInductor && options_[i].size() > 1) inductors.push_back(i);
  }
  const auto singles = [&](size_t i, bool all) {
    std::vector<size_t> list;
    for (size_t k = 0; k < options_[i].size(); ++k) {
      const double ratio = options_[i][k].value / slots_[i].chosen;
      if (options_[i][k].second == 0 && (all || (ratio > 0.8 && ratio < 1.25))) list.push_back(k);
    }
    return list;
  };
  double combinations = 1;
  for (const size_t i : inductors) combinations *= double(singles(i, true).size());
  std::vector<std::vector<size_t>> lists;
  for (const size_t i : inductors)
    lists.push_back(singles(i, combinations <= kScreenedCombinations));
  if (lists.empty() ||
      std::any_of(lists.begin(), lists.end(), [](const auto& l) { return l.empty(); })) {
    return {};
  }
  const double w0 = 2 * std::numbers::pi * ideal_.frequency_hz;
  std::vector<Candidate> screened;
  std::vector<size_t> pick(lists.size(), 0);
  for (bool more = true; more && !Stopped();) {
    Candidate c = base;
    for (size_t n = 0; n < lists.size(); ++n)
      c = Holding(std::move(c), inductors[n], lists[n][pick[n]]);
    for (size_t i = 0; i < slots_.size(); ++i) {
      if (slots_[i].kind != ElementKind::kCapacitor) continue;
      // The shunt that makes the arms meeting here quarter waves with
      // their inductors: 1 / (w0^2 L) for each.
      const int node = slot_nodes_[i].front();
      double shunt = 0;
      for (size_t j = 0; j < slots_.size(); ++j) {
        const std::vector<int>& nodes = slot_nodes_[j];
        if (slots_[j].kind == ElementKind::kInductor &&
            std::find(nodes.begin(), nodes.end(), node) != nodes.end()) {
          shunt += 1 / (w0 * w0 * c.values[j].chosen);
        }
      }
      size_t nearest = c.at[i];
      double distance = HUGE_VAL;
      for (size_t k = 0; k < options_[i].size(); ++k) {
        const double d = std::abs(std::log(options_[i][k].value / shunt));
        if (options_[i][k].second == 0 && d < distance) distance = d, nearest = k;
      }
      c = Holding(std::move(c), i, nearest);
    }
    c.score = Margin(c);
    screened.push_back(std::move(c));
    size_t n = 0;
    while (n < lists.size() && ++pick[n] == lists[n].size()) pick[n++] = 0;
    more = n < lists.size();
  }
  return Weighed(std::move(screened));
}

std::vector<SearchFit::Candidate> SearchFit::DrawnStarts(Line& line, const Candidate& base) const {
  if (!by_yield_) return {};
  std::vector<Candidate> drawn;
  Candidate leader = base;
  for (int n = 0, weighed = 0; n < kDrawnCombinations && weighed < kWeighedDraws && !Stopped();
       ++n) {
    Candidate c = base;
    for (size_t i = 0; i < slots_.size(); ++i) {
      c = Holding(std::move(c), i, line.RandomBelow(options_[i].size()));
    }
    if (Margin(c) < 0) continue;
    ++weighed;
    if (!Evaluate(c, &leader)) continue;
    if (c.score > leader.score) leader = c;
    drawn.push_back(std::move(c));
  }
  std::stable_sort(drawn.begin(), drawn.end(),
                   [](const Candidate& a, const Candidate& b) { return a.score > b.score; });
  drawn.resize(std::min(drawn.size(), kSearchedStarts));
  return drawn;
}

std::vector<SearchFit::Candidate> SearchFit::Weighed(std::vector<Candidate> candidates) const {
  std::stable_sort(candidates.begin(), candidates.end(),
                   [](const Candidate& a, const Candidate& b) { return a.score > b.score; });
  candidates.resize(std::min(candidates.size(), kWeighedStarts));
  for (Candidate& c : candidates) Evaluate(c, nullptr);
  std::stable_sort(candidates.begin(), candidates.end(),
                   [](const Candidate& a, const Candidate& b) { return a.score > b.score; });
  candidates.resize(std::min(candidates.size(), kSearchedStarts));
  return candidates;
}

std::vector<double> SearchFit::Reach(const QuantityChoice& slot, const PartSeries& series) const {
  constexpr int kSide = 6;
  constexpr double kFactor = 2.5;
  std::vector<double> values;
  std::optional<double> v = series.Around(slot.chosen).below;
  for (int n = 0; n < kSide && v && *v >= slot.chosen / kFactor;
       ++n, v = series.Around(*v * (1 - 1e-9)).below) {
    values.push_back(*v);
  }
  v = series.Around(slot.chosen).above;
  for (int n = 0; n < kSide && v && *v <= slot.chosen * kFactor;
       ++n, v = series.Around(*v * (1 + 1e-9)).above) {
    if (values.empty() || *v != values.front()) values.push_back(*v);
  }
  const double least = Least(slot.kind);
  std::erase_if(values, [&](double x) { return x <= least; });
  return values;
}

void SearchFit::Anneal() {
  if (!by_yield_ || choice_.tie_equal_values || models_.Parasitic() || goal_.effort <= 0) {
    return;
  }
  std::vector<std::vector<Option>> reach(slots_.size());
  for (size_t i = 0; i < slots_.size(); ++i) {
    const PartSeries* series = choice_.SeriesFor(slots_[i].kind);
    if (series == nullptr || series->HasOwnModels()) return;
    for (const double v : Reach(slots_[i], *series)) reach[i].push_back({v});
    if (reach[i].empty()) return;
  }
  std::vector<QuantityChoice> values = slots_;
  for (size_t i = 0; i < slots_.size(); ++i) values[i].chosen = reach[i][0].value;
  const Netlist built = BuildNetlist(ideal_, values, value_of_element_, choice_, models_);
  for (const NetlistElement& e : built.elements) {
    if (!e.pad && e.model.Dynamic(e.kind)) return;
  }
  const auto loss = [&](size_t i, double value) {
    const NetlistElement& e = built.elements[i];
    return e.model.q > 0 ? FixedLossOhms(e.kind, value, e.model) : e.loss_ohms;
  };
  const std::vector<double> checks = CheckFrequencies(ideal_.frequency_hz, goal_.band_percent);
  const FigureRule rule = RuleOf(ideal_.form);
  // One restart: its own stream and its own bound circuit, so that the
  // restarts share out over two threads and give the same finds.
  constexpr int kRestarts = 128, kSteps = 4000;
  std::vector<std::pair<double, std::vector<size_t>>> results(kRestarts);
  const auto restart = [&](int r) {
    BoundNetlist bound(built);
    const auto set = [&](size_t i, const Option& o) {
      const double value = o.value + o.second;
      const double ohms = loss(i, o.value) + (o.second > 0 ? loss(i, o.second) : 0);
      bound.SetElement(int(i), value, ohms);
    };
    const auto margin = [&] {
      double worst = HUGE_VAL;
      SMatrix s;
      for (const double f : checks) {
        if (!bound.AnalyzeFromPorts1And2(f, s)) return -HUGE_VAL;
        for (const LimitMargin& m : MarginsOf(FiguresOf(s, rule), goal_.limits)) {
          worst = std::min(worst, m.margin / std::max(std::abs(m.limit), 1e-3));
        }
      }
      return worst;
    };
    constexpr double kHot = 0.3, kCold = 0.003;
    const double cooling = std::pow(kCold / kHot, 1.0 / kSteps);
    uint64_t state = 0x6c62272e07bb0142ULL * uint64_t(r + 1);
    const auto random = [&] {
      state = state * 6364136223846793005ULL + 1442695040888963407ULL;
      return state >> 11;
    };
    const auto uniform = [&] { return double(random()) * 0x1.0p-53; };
    std::vector<size_t> at(slots_.size());
    for (size_t i = 0; i < slots_.size(); ++i) {
      at[i] = random() % reach[i].size();
      set(i, reach[i][at[i]]);
    }
    double now = margin(), best = now, temperature = kHot;
    std::vector<size_t> best_at = at;
    for (int step = 0; step < kSteps; ++step, temperature *= cooling) {
      const size_t i = random() % slots_.size();
      const size_t was = at[i];
      at[i] = random() % reach[i].size();
      if (at[i] == was) continue;
      set(i, reach[i][at[i]]);
      const double trial = margin();
      if (trial >= now || uniform() < std::exp((trial - now) / temperature)) {
        now = trial;
        if (now > best) best = now, best_at = at;
      } else {
        set(i, reach[i][was]);
        at[i] = was;
      }
    }
    results[size_t(r)] = {best, std::move(best_at)};
  };
  // A tenth of a second's work on two cores, whatever the search's effort.
  OnTwoCores(goal_.control, [&](int first) {
    for (int r = first; r < kRestarts && !Stopped(); r += 2) restart(r);
  });
  std::vector<std::pair<double, std::vector<Option>>> kept;
  for (auto& [best, best_at] : results) {
    if (!(best > 0) || best_at.empty()) continue;
    std::vector<Option> found(slots_.size());
    for (size_t i = 0; i < slots_.size(); ++i) found[i] = reach[i][best_at[i]];
    if (std::find(kept.begin(), kept.end(), std::pair{best, found}) == kept.end()) {
      kept.emplace_back(best, std::move(found));
    }
  }
  std::stable_sort(kept.begin(), kept.end(),
                   [](const auto& a, const auto& b) { return a.first > b.first; });
  for (auto& k : kept) annealed_.push_back(std::move(k.second));
}

std::vector<SearchFit::Candidate> SearchFit::PairedStarts(const Candidate& winner,
                                                          const std::vector<Candidate>& annealed) {
  std::vector<std::vector<double>> centres;
  for (const Candidate* c : {&winner}) {
    centres.emplace_back();
    for (const QuantityChoice& q : c->values) centres.back().push_back(q.chosen + q.second);
  }
  for (const std::vector<double>& centre : pair_centres_) centres.push_back(centre);
  for (const Candidate& c : annealed) {
    centres.emplace_back();
    for (const QuantityChoice& q : c.values) centres.back().push_back(q.chosen + q.second);
  }
  std::vector<Candidate> paired;
  for (const std::vector<double>& centre : centres) {
    Candidate c = winner;
    for (size_t i = 0; i < slots_.size(); ++i) {
      const PartSeries* series = choice_.SeriesFor(slots_[i].kind);
      if (series == nullptr || slots_[i].kind == ElementKind::kResistor) continue;
      const double least = Least(slots_[i].kind);
      bool first_pair = true;
      for (const auto& [a, b] : PairOptions(centre[i], *series, 8, true)) {
        if (a <= least || b <= least) continue;
        const Option o{a, b};
        auto at = std::find(options_[i].begin(), options_[i].end(), o);
        if (at == options_[i].end()) {
          options_[i].push_back(o);
          at = options_[i].end() - 1;
        }
        if (first_pair) c = Holding(std::move(c), i, size_t(at - options_[i].begin()));
        first_pair = false;
      }
    }
    c.score = Margin(c);
    paired.push_back(std::move(c));
  }
  return Weighed(std::move(paired));
}

std::vector<SearchFit::Candidate> SearchFit::AnnealedStarts(const Candidate& base) const {
  std::vector<Candidate> found;
  for (const std::vector<Option>& values : annealed_) {
    Candidate c = base;
    for (size_t i = 0; i < slots_.size(); ++i) {
      const auto k = std::find(options_[i].begin(), options_[i].end(), values[i]);
      c = Holding(std::move(c), i, size_t(k - options_[i].begin()));
    }
    c.score = Margin(c);
    found.push_back(std::move(c));
  }
  return Weighed(std::move(found));
}

std::vector<std::pair<double, double>> SearchFit::PairOptions(double target,
                                                              const PartSeries& series,
                                                              size_t count, bool spread_counts) {
  struct Scored {
    std::pair<double, double> parts;
    double error;
  };
  std::vector<Scored> found;
  std::optional<double> larger = series.Around(target * (1 - 1e-9)).below;
  for (; larger && *larger >= target / 2; larger = series.Around(*larger * (1 - 1e-9)).below) {
    const PartSeries::Neighbours rest = series.Around(target - *larger);
    for (int side = 0; side < 2; ++side) {
      const std::optional<double>& smaller = side == 0 ? rest.below : rest.above;
      if (!smaller || *smaller > *larger) continue;
      // The larger part only falls, so a pair can repeat only as the
      // two neighbours of one exact value.
      if (side == 1 && rest.below && *rest.below == *smaller) continue;
      const std::pair parts{*larger, *smaller};
      // A pair's parts drawn each on its own spread its sum by
      // sqrt(a^2 + b^2) / (a + b) of one part's tolerance: halves alike
      // spread least. Scored as the square of the sum's error and of its
      // spread under a 5 % grade (a uniform draw's variance, T^2 / 3).
      const double error = std::log((*larger + *smaller) / target);
      const double spread =
          (*larger * *larger + *smaller * *smaller) / ((*larger + *smaller) * (*larger + *smaller));
      found.push_back({parts, error * error + (spread_counts ? 0.05 * 0.05 / 3 * spread : 0)});
    }
  }
  std::stable_sort(found.begin(), found.end(),
                   [](const Scored& a, const Scored& b) { return a.error < b.error; });
  std::vector<std::pair<double, double>> pairs;
  for (size_t i = 0; i < std::min(count, found.size()); ++i) pairs.push_back(found[i].parts);
  return pairs;
}

}  // namespace rfsplitter::fitting
