#pragma once
// The quarter-probe search: a one-dimensional search of a parameter over [a, b].

// Probes the middle m and the quarter points l = (a + m) / 2 and r = (m + b) / 2 and
// follows a probe only when its cost beats both other probes by more than 0.01 (an
// absolute margin, in the units of the cost): the left or right probe becomes the new
// middle of the half it lies in, a best middle keeps its place and halves the bracket.
// Stops when no probe wins or after 100 steps, writes the middle's cost to `cost_out`
// and returns the middle. A search of k steps evaluates the cost 1 + 2k times.
//
// T is the parameter and cost type (double for the end slides, float for the
// nearest-parameter searches); cost(T x) returns a T. Its side effects are left as they
// are after the last probe, so a caller that wants the state at the returned parameter
// evaluates it once more there.
template <class T, class Cost>
T quarter_probe_search(T a, T b, T& cost_out, Cost&& cost) {
  T m = (a + b) / 2;
  T cm = cost(m);
  T l = (a + m) / 2;
  T r = (m + b) / 2;
  for (int step = 0; step < 100; ++step) {
    const T cl = cost(l);
    const T cr = cost(r);
    if (cr > cl + 0.01 && cm > cl + 0.01) {
      b = m;
      m = l;
      cm = cl;
    } else if (cr > cm + 0.01 && cl > cm + 0.01) {
      a = l;
      b = r;
    } else if (cm > cr + 0.01 && cl > cr + 0.01) {
      a = m;
      m = r;
      cm = cr;
    } else {
      break;
    }
    l = (a + m) / 2;
    r = (m + b) / 2;
  }
  cost_out = cm;
  return m;
}
