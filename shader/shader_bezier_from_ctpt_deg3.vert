#version 150 compatibility
// Two control points of a cubic, (u, v) pairs in normalised image coordinates: the first
// vertex of a curve holds P0 and P1, the second P2 and P3.
in vec4 ct_pt;
uniform vec2 t;
uniform float s;
uniform float depth;
out vec4 placed_pair;  // the two points placed in the view

vec2 place(vec2 q) {
  return (vec2(2.0 * q.x - 1.0, 1.0 - 2.0 * q.y) + t) * s;
}

void main() {
  placed_pair = vec4(place(ct_pt.xy), place(ct_pt.zw));
  gl_Position = vec4(placed_pair.xy, 2.0 * depth - 1.0, 1.0);
}
