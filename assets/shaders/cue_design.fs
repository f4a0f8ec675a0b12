#include "prelude.glsl"
// The cue: the design's colour image, its gloss image for the highlight, fading out with transparency.
#include "lit_fragment.glsl"

uniform sampler2D texture_specular1;

void main() {
    vec4 albedo = texture(texture_diffuse1, TexCoords);
    float gloss = texture(texture_specular1, TexCoords).r;
    vec3 n = length(Normal) > 0.0 ? normalize(Normal) : vec3(0.0, 1.0, 0.0);
    vec3 toEye = normalize(viewPos - FragPos);
    vec3 toKey = normalize(lightPos - FragPos);
    vec3 up = vec3(0.0, 1.0, 0.0);
    float diffuse = 0.25 + 0.6 * max(dot(n, up), 0.0) + 0.2 * max(dot(n, toKey), 0.0);
    float highlight = pow(max(dot(n, normalize(up + toEye)), 0.0), 60.0) * (0.15 + 0.6 * gloss);
    outColor = vec4(albedo.rgb * diffuse + vec3(highlight), transparency);
}
