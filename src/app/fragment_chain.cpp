#include "app/fragment_chain.h"

#include <deque>
#include <map>

#include "graph/f_curve.h"

namespace {

// The breadth-first search; returns false when b is not reached.
bool search_chain(f_curve* a, f_curve* b, std::list<f_curve*>& out) {
  out.clear();
  std::map<f_curve*, f_curve*> parent{{a, nullptr}};  // also the visited set
  std::deque<f_curve*> queue{a};
  while (!queue.empty()) {
    f_curve* f = queue.front();
    queue.pop_front();
    for (const frag_conn* j : f->v_frag_conn) {
      for (const frag_end& e : j->v_frag_end) {
        f_curve* g = e.fragment;
        if (g == b) {
          for (f_curve* p = f; p != a; p = parent[p]) out.push_front(p);
          return true;
        }
        if (parent.emplace(g, f).second) queue.push_back(g);
      }
    }
  }
  return false;
}

}  // namespace

void shortest_fragment_chain(f_curve* a, f_curve* b, std::list<f_curve*>& out) {
  search_chain(a, b, out);
}

bool fragments_connected(f_curve* a, f_curve* b) {
  if (a == b) return true;
  std::list<f_curve*> chain;
  return search_chain(a, b, chain);
}
