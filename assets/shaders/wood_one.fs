#include "prelude.glsl"
// The polished wood of the frame around the cushions and of the round legs, with a moderate highlight.
#include "lit_fragment.glsl"
#include "top_light_one.glsl"

void main() {
    vec3 albedo = texture(texture_diffuse1, TexCoords).rgb;
    vec3 n = length(Normal) > 0.0 ? normalize(Normal) : vec3(0.0, 1.0, 0.0);
    vec3 toLight = normalize(lightPos - FragPos);
    vec3 toEye = normalize(viewPos - FragPos);
    float light = topLight(FragPos);
    float diffuse = max(n.y, 0.0) * 0.6 + max(dot(n, toLight), 0.0) * 0.3;
    float specular = pow(max(dot(n, normalize(toLight + toEye)), 0.0), 48.0) * 0.35;
    vec3 colour = albedo * (0.18 + diffuse * light) + vec3(specular * light);
    outColor = vec4(colour, transparency);
}
