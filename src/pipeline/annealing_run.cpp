// Annealing runs: the interactive time slices, the whole batch run with its pictures
// and energy file, and the end-of-run passes and pictures.

#include <algorithm>
#include <charconv>
#include <chrono>
#include <iostream>
#include <string>
#include <vector>

#include "graph/curve_moves.h"
#include "graph/curve_network.h"
#include "io/output_names.h"
#include "io/replacing_file.h"
#include "io/svg_pictures.h"
#include "pipeline/allowed_degrees.h"
#include "pipeline/recuit.h"

void recuit::run_time_slice() {
  using clock = std::chrono::steady_clock;
  const auto start = clock::now();
  if (k >= nb_it) return;
  // Degrees the user has unticked since the last slice (every curve starts cubic) go
  // before the first step prices the network.
  refit_at_allowed_degrees(*network);
  // The view may edit fragments and curves between slices: fits are remembered, and
  // energy terms kept, within one slice only.
  const segment_fit_memo memo;
  const energy_tracking tracking(network);
  // The clock is read after each iteration, so a slice overruns by at most one.
  do {
    step();
    const auto now = clock::now();
    ++k;
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(now - start).count();
    if (static_cast<double>(ns) / 1e6 > 30.0) break;
  } while (k < nb_it);
  // Degrees unticked during the slice: what the view shows and writes next, the last
  // slice's result among it, holds allowed degrees only.
  if (refit_at_allowed_degrees(*network) != 0) E = network->energy(lambda, mu);
}

int recuit::run_all() {
  int unwritten = 0;
  std::vector<float> energies;
  // Room for the whole run, within reason: a huge count from a configuration file
  // should not fail here before the first iteration.
  if (nb_it > k) energies.reserve(std::min(nb_it - k, 1 << 24));
  // The moves and passes regroup fragments but never change their samples.
  const segment_fit_memo memo;
  energy_tracking tracking(network);
  while (k < nb_it) {
    const unsigned long long undone = undone_move_count();
    step_batch();
    energy_is_current = undone_move_count() == undone;
    energies.push_back(E);
    if (k % 10000 == 0) {
      energy_is_current = false;  // the passes move control points
      for (layer_graph& L : *network) L.fit_and_slide_ends();
      if (!write_curves_svg(*network, std::to_string(k) + ".svg", false)) ++unwritten;
      for (layer_graph& L : *network) L.refit_curves();
      tracking.forget();  // every curve was refitted
    }
    ++k;
  }
  energy_is_current = false;
  // The last run's file stays whole until this one is complete.
  replacing_file file("energy_decrease.csv");
  if (!file.out()) {
    std::cerr << "recuit: cannot create file energy_decrease.csv: " << file.error() << std::endl;
    return unwritten + 1;
  }
  // to_chars in general form with six digits writes what the stream's default format
  // writes, without a locale lookup per number.
  std::string text;
  text.reserve(energies.size() * 12);
  char buffer[64];
  for (float e : energies) {
    const std::to_chars_result r =
        std::to_chars(buffer, buffer + sizeof buffer, e, std::chars_format::general, 6);
    text.append(buffer, r.ptr);
    text.push_back('\n');
  }
  file.out() << text;
  if (!file.commit()) {
    std::cerr << "recuit: could not write file energy_decrease.csv: " << file.error() << std::endl;
    ++unwritten;
  }
  return unwritten;
}

void recuit::run() {
  k = 0;
  if (nb_it > 0) {
    while (k < nb_it) {
      step();
      ++k;
    }
  }
  const int interval = print_interval > 0 ? print_interval : 1;
  if (k % interval == 0) print_progress(static_cast<std::uint64_t>(k), &progress_scale, &T, &E);
}

void curve_network::anneal() {
  for (layer_graph& L : *this)
    for (f_curve& f : L.f_curves) f.fit_cubic();
  recuit optimiser(this);
  optimiser.k = 0;
  while (optimiser.k < optimiser.nb_it) {
    optimiser.step();
    ++optimiser.k;
  }
  const int interval = optimiser.print_interval > 0 ? optimiser.print_interval : 1;
  if (optimiser.k % interval == 0)
    recuit::print_progress(static_cast<std::uint64_t>(optimiser.k), &optimiser.progress_scale,
                           &optimiser.T, &optimiser.E);
  write_recuit_end("");
}
