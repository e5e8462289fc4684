#version 150 compatibility
// The image quad: its corners are already (2u - 1, 1 - 2v); pan, zoom and depth apply.
in vec3 vertex;
in vec2 tex;
uniform vec2 t;
uniform float s;
uniform float depth;
out vec2 uv;

void main() {
  // The texture holds the image's first row at coordinate 0, the top of the view.
  uv = vec2(tex.x, 1.0 - tex.y);
  gl_Position = vec4((vertex.xy + t) * s, 2.0 * depth - 1.0, 1.0);
}
