#version 150 compatibility
// The four control points carried by a line's two vertices become the cubic.
layout(lines) in;
layout(line_strip, max_vertices = 65) out;
in vec4 placed_pair[];

const int segments = 64;

void main() {
  vec2 p0 = placed_pair[0].xy;
  vec2 p1 = placed_pair[0].zw;
  vec2 p2 = placed_pair[1].xy;
  vec2 p3 = placed_pair[1].zw;
  float z = gl_in[0].gl_Position.z;
  for (int i = 0; i <= segments; ++i) {
    float u = float(i) / float(segments);
    float a = 1.0 - u;
    vec2 p = a * a * a * p0 + 3.0 * a * a * u * p1 + 3.0 * a * u * u * p2 + u * u * u * p3;
    gl_Position = vec4(p, z, 1.0);
    EmitVertex();
  }
  EndPrimitive();
}
