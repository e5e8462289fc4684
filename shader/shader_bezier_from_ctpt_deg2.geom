#version 150 compatibility
// The three control points of a quadratic, already placed in the view, become the curve.
// The placement is affine, so the curve of the placed points is the placed curve.
layout(triangles) in;
layout(line_strip, max_vertices = 65) out;

const int segments = 64;

void main() {
  vec4 p0 = gl_in[0].gl_Position;
  vec4 p1 = gl_in[1].gl_Position;
  vec4 p2 = gl_in[2].gl_Position;
  for (int i = 0; i <= segments; ++i) {
    float u = float(i) / float(segments);
    float a = 1.0 - u;
    gl_Position = a * a * p0 + 2.0 * a * u * p1 + u * u * p2;
    EmitVertex();
  }
  EndPrimitive();
}
