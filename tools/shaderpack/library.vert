#version 330 core
// The library's vertex shader. Its constants are those the Direct3D back
// end's state cache writes:
//   c0 (0, 1, 0, 0); c1 global ambient x material ambient + emissive;
//   c2-c5 projection and c6-c9 view, transposed (one column a register);
//   c10 fog {end / (end - start), -1 / (end - start), density, e};
//   c11-c13 material diffuse, specular, {power, 0, 0, 0};
//   c14 + 7i light i: position and direction in view space, diffuse,
//   specular, ambient x material ambient, {range, attenuation 0, 1, 2},
//   {falloff, theta, phi, type};
//   b0-b3 fog {linear, exp, exp2, on}; b4 + 3i light i on.
// The inputs are the buffers' standard vertex: position, normal, diffuse
// and specular colours, two texture coordinates.

uniform vec4 vsc[256];
uniform bool vsb[16];

layout(location = 0) in vec3 inPosition;
layout(location = 1) in vec3 inNormal;
layout(location = 2) in vec4 inDiffuse;
layout(location = 3) in vec4 inSpecular;
layout(location = 4) in vec2 inTex0;
layout(location = 5) in vec2 inTex1;

out vec4 vDiffuse;
out vec4 vSpecular;
out vec2 vTex0;
out vec2 vTex1;
out float vFog;

vec4 ToView(vec4 p) {
  return vec4(dot(p, vsc[6]), dot(p, vsc[7]), dot(p, vsc[8]), dot(p, vsc[9]));
}

void main() {
  vec4 viewPosition = ToView(vec4(inPosition, 1.0));
  gl_Position = vec4(dot(viewPosition, vsc[2]), dot(viewPosition, vsc[3]), dot(viewPosition, vsc[4]),
                     dot(viewPosition, vsc[5]));
  vec3 normal = normalize(ToView(vec4(inNormal, 0.0)).xyz);
  vec3 toEye = normalize(-viewPosition.xyz);

  vec4 diffuse = vsc[1];
  vec4 specular = vec4(0.0);
  for (int i = 0; i < 4; ++i) {
    if (!vsb[4 + 3 * i]) continue;
    int c = 14 + 7 * i;
    vec4 lightPosition = vsc[c];
    vec4 lightDirection = vsc[c + 1];
    vec4 range = vsc[c + 5];
    vec4 spot = vsc[c + 6];
    vec3 toLight;
    float attenuation = 1.0;
    if (spot.w == 3.0) {
      toLight = -normalize(lightDirection.xyz);
    } else {
      vec3 d = lightPosition.xyz - viewPosition.xyz;
      float distance = length(d);
      toLight = d / max(distance, 1e-6);
      attenuation = distance > range.x ? 0.0
                                       : 1.0 / max(range.y + range.z * distance + range.w * distance * distance, 1e-6);
      if (spot.w == 2.0) {
        float rho = dot(-toLight, normalize(lightDirection.xyz));
        float inner = cos(spot.y * 0.5);
        float outer = cos(spot.z * 0.5);
        attenuation *= pow(clamp((rho - outer) / max(inner - outer, 1e-6), 0.0, 1.0), spot.x);
      }
    }
    float lambert = max(dot(normal, toLight), 0.0);
    diffuse += attenuation * (vsc[c + 4] + lambert * vsc[c + 2] * vsc[11]);
    if (lambert > 0.0) {
      float highlight = pow(max(dot(normal, normalize(toLight + toEye)), 0.0), vsc[13].x);
      specular += attenuation * highlight * vsc[c + 3] * vsc[12];
    }
  }
  vDiffuse = clamp(diffuse * inDiffuse, 0.0, 1.0);
  vSpecular = clamp(specular + inSpecular * vsc[0].x, 0.0, 1.0);
  vTex0 = inTex0;
  vTex1 = inTex1;

  float depth = abs(viewPosition.z);
  float fog = 1.0;
  if (vsb[0]) fog = vsc[10].x + depth * vsc[10].y;
  if (vsb[1]) fog = pow(vsc[10].w, -depth * vsc[10].z);
  if (vsb[2]) fog = pow(vsc[10].w, -(depth * vsc[10].z) * (depth * vsc[10].z));
  vFog = vsb[3] ? clamp(fog, 0.0, 1.0) : 1.0;
}
