#pragma once
// The simulated-annealing optimiser of the curve network.
//
// An optimiser points at one curve_network (not owned; the network must outlive it
// or be re-pointed). Every draw comes from its own engine `gen` through the five
// distributions below, so seeding `gen` makes a run repeatable. The members are
// stored in this order, with these types, in the .graph optimiser block.

#include <cstdint>
#include <iosfwd>
#include <random>
#include <string>
#include <vector>

struct curve;
struct curve_network;
struct f_curve;
struct nconnection;

struct recuit {
  double progress_scale = 0;  // 100 / nb_it: k * progress_scale is the progress in percent
  float E = 0;                // current energy: E0 after a set-up, then each step's energy
  std::string empty_text;     // never assigned; stored in the .graph file
  std::mt19937 gen;           // the optimiser's only random engine
  std::uniform_real_distribution<double> unit_dist{0.0, 1.0};  // u of the acceptance threshold
  std::uniform_int_distribution<int> move_dist{0, 3};          // move type
  // [0, F - 1], F the fragments of the whole network: layer pick and index draws.
  std::uniform_int_distribution<int> fragment_dist{0, 2147483647};
  // [0, C - 1], C the nconnections of the whole network: pick of a curve end.
  std::uniform_int_distribution<int> end_dist{0, 2147483647};
  std::uniform_int_distribution<int> degree_dist{1, 3};  // new degree of a degree move
  int nb_it = 0;           // iterations of a run
  float Ti = 1;            // initial temperature
  float T = 1;             // current temperature, Ti * dt^k
  float dt = 0.9999f;      // cooling factor per iteration
  float lambda = 0.25f;    // balance: complexity term (1) against fit term (0)
  float mu = 0.01f;        // price of a fragment held by more than one curve
  int print_interval = 1;  // a progress line every print_interval iterations
  int k = 0;               // iteration counter; the runs advance it, the steps never do
  curve_network* network = nullptr;  // the network edited; not owned
  // Per layer_graph in list order: fragments of that layer and all before it.
  std::vector<int> cumulative_fcurves;

  // Seeds gen from the system clock and runs read_config. network may be empty (or
  // still null): the set-up then only reads the file.
  explicit recuit(curve_network* network);

  // Interactive set-up: tables, k = 0, config/recuit.conf (nb_it, T, dt, lambda, mu).
  // With at least one fragment and the view (main_gl_widget set): the view's hook
  // gets nb_it and lambda, then progress_scale, Ti = T, E = E0, print_interval
  // (at least 1) and the parameter line on standard output. Without fragments E = 0.
  void read_config();

  // Batch set-up: tables, dt and lambda from the arguments, k = 0,
  // config/recuit_v2.conf (Ti, T_final, mu), nb_it = (ln T_final - ln Ti) / ln dt
  // truncated (0, with a line on standard error, when that is not a finite count). With
  // at least one fragment: T = Ti, progress_scale, E = E0 and
  // print_interval = max(nb_it / 100, 1000); without, E = 0. Prints nothing else.
  void read_config_v2(float lambda, float dt);

  // The set-up energy, a fragment-based estimate: per layer the fragments' total fit
  // errors divided by the network's sample count, plus lambda per fragment.
  float initial_energy() const;

  // One annealing iteration at temperature Ti * dt^k; neither form changes k.
  // step honours the view's frozen curves and must-split pairs; step_batch reads no
  // view setting. A network without fragments is left as it is.
  void step();
  void step_batch();

  // Interactive iterations (step, then k + 1) until more than 30 ms have passed or k
  // reaches nb_it; none when k >= nb_it already.
  void run_time_slice();
  // The rest of a batch run from the current k: step_batch and k + 1 until nb_it, with
  // the finishing passes and a picture "<k>.svg" in the working folder whenever k is a
  // multiple of 10000, then every energy, one per line, in "energy_decrease.csv".
  // Returns how many of these files could not be written (each named on standard error).
  int run_all();
  // nb_it interactive iterations from k = 0, then a progress line when the final k is a
  // multiple of print_interval.
  void run();

  // The optimiser block of a .graph file (io/recuit_file.cpp): every member in order
  // except the engine's state and the network pointer. read throws graph_format_error on
  // a short block, on distribution bounds out of order, on an iteration counter k below 0
  // or above nb_it (other than 0), or on tables that do not match the network already read
  // (which the steps would index out of range).
  void write(std::ostream& out) const;
  void read(std::istream& in);
  // "\r", a blank when k is 0, k * progress_scale, T and E, nine blanks; flushed, no
  // line end, so each line overwrites the last.
  static void print_progress(std::uint64_t k, const double* progress_scale, const float* T,
                             const float* E);

 private:
  // Set by run_all between its steps while E is known to be the energy of the network
  // as it stands (the last step changed nothing, or kept its move); a step then skips
  // its own evaluation, which would give the same value.
  bool energy_is_current = false;
  // Fills cumulative_fcurves and the bounds of fragment_dist and end_dist from the
  // network; returns the number of fragments F.
  int build_tables();
  template <bool interactive>
  void iterate();
};

// The rise in energy up to which a move stands: 1000 for u = 0, else -T ln u, never
// above 1000. A fall always stands; a rise d stands with probability e^(-d / T).
double acceptance_threshold(double u, float T);

// The merge partner of c at k for a draw of fragment_dist: the (draw mod (n - 1))-th
// curve ending at k other than c, n the curves ending there. Null when c is the only one
// (or ends there twice and meets itself).
curve* merge_partner(const nconnection& k, const curve* c, int draw);

// False when some fragment of c must stay split from x (the view's must_split[x]);
// true without the view. Looking x up adds an empty entry for it.
bool split_constraint_allows(f_curve* x, const curve& c);
