#include "prelude.glsl"
// The balls: their colour texture, a soft top light, a sharp highlight of the key light and of the
// lamp above, and the darkening where a ball touches another (touchPos, within touchDistance).
#include "lit_fragment.glsl"

uniform float lightReflectionBlur;
uniform float touchDistance;
uniform float touchIntensity;
uniform vec3 touchPos;

void main() {
    vec3 albedo = texture(texture_diffuse1, TexCoords).rgb;
    vec3 n = length(Normal) > 0.0 ? normalize(Normal) : vec3(0.0, 1.0, 0.0);
    vec3 toEye = normalize(viewPos - FragPos);
    vec3 toKey = normalize(lightPos - FragPos);
    vec3 up = vec3(0.0, 1.0, 0.0);

    // The lower half of a ball faces the cloth and gets a little green bounce light.
    float top = max(dot(n, up), 0.0);
    float bounce = max(-n.y, 0.0) * 0.12;
    vec3 diffuse = albedo * (0.1 + 0.75 * top + 0.2 * max(dot(n, toKey), 0.0)) + albedo * vec3(0.2, 0.6, 0.3) * bounce;

    // A blur of 0 keeps the highlight a sharp lamp reflection; larger values spread it.
    float blur = clamp(lightReflectionBlur, 0.0, 1.0);
    float shininess = mix(90.0, 20.0, blur);
    float strength = mix(1.0, 0.4, blur);
    float highlight = pow(max(dot(n, normalize(up + toEye)), 0.0), shininess) * strength;
    highlight += pow(max(dot(n, normalize(toKey + toEye)), 0.0), shininess * 0.8) * strength * 0.5;

    // Contact shadow: darker towards the point where the ball touches another one.
    float touch = 0.0;
    if (touchDistance > 0.0) {
        float d = length(FragPos - touchPos);
        touch = clamp(1.0 - d / touchDistance, 0.0, 1.0) * clamp(touchIntensity, 0.0, 1.0);
    }
    vec3 colour = (diffuse + vec3(highlight)) * (1.0 - 0.6 * touch);
    outColor = vec4(colour, transparency);
}
