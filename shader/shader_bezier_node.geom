#version 150 compatibility
// Each end point becomes a round mark of radius radius_of_point (normalised device units
// along the height); ratio, the view's width over its height, keeps it round.
layout(points) in;
layout(triangle_strip, max_vertices = 66) out;
uniform float radius_of_point;
uniform float ratio;

const int segments = 32;
const float two_pi = 6.28318530718;

void main() {
  vec4 centre = gl_in[0].gl_Position;
  for (int i = 0; i <= segments; ++i) {
    float angle = two_pi * float(i) / float(segments);
    vec2 rim = radius_of_point * vec2(cos(angle) / ratio, sin(angle));
    gl_Position = centre + vec4(rim, 0.0, 0.0);
    EmitVertex();
    gl_Position = centre;
    EmitVertex();
  }
  EndPrimitive();
}
