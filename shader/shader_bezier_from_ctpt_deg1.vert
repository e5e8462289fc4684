#version 150 compatibility
// One end of a straight segment, (u, v) normalised image coordinates, v downwards.
in vec2 ct_pt;
uniform vec2 t;
uniform float s;
uniform float depth;

void main() {
  vec2 p = vec2(2.0 * ct_pt.x - 1.0, 1.0 - 2.0 * ct_pt.y);
  gl_Position = vec4((p + t) * s, 2.0 * depth - 1.0, 1.0);
}
