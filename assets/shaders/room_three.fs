#include "prelude.glsl"
// The room: dim walls and floor, lit only by the spill of the table light.
#include "lit_fragment.glsl"
#include "top_light_three.glsl"

void main() {
    vec3 albedo = texture(texture_diffuse1, TexCoords).rgb;
    vec3 n = length(Normal) > 0.0 ? normalize(Normal) : vec3(0.0, 1.0, 0.0);
    vec3 toLight = normalize(lightPos - FragPos);
    vec3 toEye = normalize(viewPos - FragPos);
    float light = topLight(FragPos);
    float diffuse = max(n.y, 0.0) * 0.6 + max(dot(n, toLight), 0.0) * 0.3;
    float specular = pow(max(dot(n, normalize(toLight + toEye)), 0.0), 8.0) * 0.05;
    // Only a fraction of the table light reaches the room: it stays dim.
    vec3 colour = albedo * (0.04 + 0.3 * diffuse * light) + vec3(specular * light);
    outColor = vec4(colour, transparency);
}
