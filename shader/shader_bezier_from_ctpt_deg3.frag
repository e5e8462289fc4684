#version 150 compatibility
// Every curve and end point in its set's colour and opacity.
uniform vec3 color_curve;
uniform float alpha;
out vec4 frag_colour;

void main() {
  frag_colour = vec4(color_curve, alpha);
}
