#version 150 compatibility
// The image at the given opacity.
uniform sampler2D texture;
uniform float alpha;
in vec2 uv;
out vec4 frag_colour;

void main() {
  frag_colour = vec4(texture2D(texture, uv).rgb, alpha);
}
