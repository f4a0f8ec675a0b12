#include "prelude.glsl"
// Cushions, their rubbers, pockets, hooks and square legs: their own textures under the table light.
#include "lit_fragment.glsl"

float topLight(vec3 p) {
    float outside = length(max(abs(p.xz) - vec2(1700.0, 800.0), 0.0));
    return mix(1.0, 0.15, smoothstep(0.0, 1800.0, outside));
}

void main() {
    vec3 albedo = texture(texture_diffuse1, TexCoords).rgb;
    vec3 n = length(Normal) > 0.0 ? normalize(Normal) : vec3(0.0, 1.0, 0.0);
    vec3 toLight = normalize(lightPos - FragPos);
    vec3 toEye = normalize(viewPos - FragPos);
    float light = topLight(FragPos);
    float diffuse = max(n.y, 0.0) * 0.7 + max(dot(n, toLight), 0.0) * 0.2;
    float specular = pow(max(dot(n, normalize(toLight + toEye)), 0.0), 24.0) * 0.12;
    outColor = vec4(albedo * (0.15 + diffuse * light) + vec3(specular * light), transparency);
}
