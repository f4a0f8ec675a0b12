#include "prelude.glsl"
// The table bed: green cloth under the top light, the markings and the baked darkening towards
// the cushions from the markings texture (rgb: darkening, alpha: the white lines).
#include "lit_fragment.glsl"

uniform sampler2D texture_tableMarking;

#include "top_light_three.glsl"

void main() {
    // The cloth texture adds only its nap; the colour is the cloth's own.
    float nap = dot(texture(texture_diffuse1, TexCoords).rgb, vec3(0.3333));
    vec3 cloth = vec3(0.05, 0.36, 0.12) * (0.85 + 0.3 * nap);
    // The markings image: rows along the table's length (x), columns across it (z).
    vec2 markUv = vec2(FragPos.z / 1873.26 + 0.5, FragPos.x / 3664.26 + 0.5);
    vec4 mark = texture(texture_tableMarking, markUv);
    vec3 colour = mix(cloth * mark.rgb, vec3(0.9), mark.a);
    vec3 n = normalize(Normal);
    float facing = length(Normal) > 0.0 ? max(n.y, 0.0) * 0.85 + 0.15 : 1.0;
    // A faint sheen towards the key light keeps the cloth from looking flat.
    vec3 toLight = normalize(lightPos - FragPos);
    vec3 toEye = normalize(viewPos - FragPos);
    float sheen = pow(max(dot(normalize(toLight + toEye), vec3(0.0, 1.0, 0.0)), 0.0), 8.0) * 0.05;
    outColor = vec4(colour * topLight(FragPos) * facing + sheen, transparency);
}
