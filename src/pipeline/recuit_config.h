#pragma once
// The optimiser's two configuration files: config/recuit.conf (interactive set-up)
// and config/recuit_v2.conf (batch set-up). Plain text, whitespace-separated, read
// anew at every set-up.
//
// A missing file, or a value missing or not a number, keeps the default of that value
// and of all values after it, with one line on standard error naming the file.
// Energies are in the units of the network energy (fit errors in pixels squared of the
// doubled sketch, curve weights about 1 per curve).

#include <string>

// The defaults cool from 1 to 0.001 at 0.9999 per iteration (69062 iterations).
struct recuit_config {
  int nb_it = 69062;    // iterations of a run
  float T = 1.0f;       // initial temperature
  float dt = 0.9999f;   // cooling factor per iteration
  float lambda = 0.25f; // balance between curve count/degree (1) and fit error (0)
  float mu = 0.01f;     // price of a fragment held by two curves
};

struct recuit_v2_config {
  float Ti = 1.0f;         // initial temperature
  float T_final = 0.001f;  // final temperature; sets the iteration count with dt
  float mu = 0.01f;        // price of a fragment held by two curves
};

extern const char* const recuit_config_path;     // "config/recuit.conf"
extern const char* const recuit_v2_config_path;  // "config/recuit_v2.conf"

// A leading word (a label, dropped), then nb_it, T, dt, lambda, mu.
recuit_config read_recuit_config(const std::string& path = recuit_config_path);

// Ti, T_final, mu.
recuit_v2_config read_recuit_v2_config(const std::string& path = recuit_v2_config_path);
