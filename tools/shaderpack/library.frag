#version 330 core
// The library's pixel shader: the texture modulated by the lit diffuse
// colour, the specular colour added.
// Constants: c0 (0, 0.5, 1, 2); c1 global ambient term; c2-c4 material
// diffuse, specular, power; c5 texture factor {B, G, R, A} / 255;
// c11 + 3i light i ambient x material ambient.
// The fog factor comes from the vertex shader; the fog colour is mixed in
// after this stage, as with the fixed-function pipeline.

uniform vec4 psc[32];
uniform sampler2D texture0;

in vec4 vDiffuse;
in vec4 vSpecular;
in vec2 vTex0;
in vec2 vTex1;
in float vFog;

layout(location = 0) out vec4 outColor;
layout(location = 1) out float outFog;

void main() {
  vec4 colour = texture(texture0, vTex0) * vDiffuse;
  colour.rgb += vSpecular.rgb;
  outColor = clamp(colour, psc[0].x, psc[0].z);
  outFog = vFog;
}
